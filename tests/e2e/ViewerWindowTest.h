#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/Screenshot.h"
#include "tests/e2e/TrackerChannels.h"
#include "tests/e2e/ViewerProcess.h"
#include "tests/support/XServer.h"

namespace e2e {

using namespace testsupport;

// Station 0 of the publisher stands still at (0.85, 0.4, 0.2) metres, which
// the viewer turns into the viewpoint (5, 10, 15) in scene units.
extern const std::vector<std::string> PublisherOptions;

// Tests that work the viewer through its window, as a user would: a private
// Xvfb per test suite, a publisher and a viewer per test, pointer and keys
// through xdotool, pictures through import. Every process is ended and every
// shared-memory name removed when a test ends, however it ends.
class ViewerWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Starts the viewer and waits for its window and its whole start-up output.
    bool StartViewer(const std::vector<std::string>& switches);

    // Button 1 is the left one; 4 and 5 are notches of the wheel up and
    // down, 6 and 7 sideways.
    bool Click(Pixel at, int button = 1);
    bool Press(Pixel at);
    bool MoveTo(Pixel at);
    bool Release();
    // Keys go to the window under the pointer, so the pointer is put on the
    // window first, high up over the floor, where it touches nothing.
    bool Key(const std::string& name);

    // Takes pictures until one satisfies `condition`; false when none did
    // within `limit` (`shot` then holds the last one).
    bool WaitForScreen(const std::function<bool(const Screenshot&)>& condition, Screenshot& shot,
                       Milliseconds limit = Milliseconds(5000));

    TrackerChannels channels;
    ViewerProcess viewer;

private:
    bool Xdotool(std::vector<std::string> command);
    bool FindWindow();

    static std::unique_ptr<XServer> server;
    std::string window;
    bool buttonHeld = false;
};

}  // namespace e2e
