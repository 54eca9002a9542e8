#include <gtest/gtest.h>

#include "tests/support/XServer.h"

#include <cstdio>

// The viewer starts GLUT and opens its window itself, once per process, on
// first use (tests/viewer/ViewerHarness.h).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Console text is checked byte for byte as the viewer prints it.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // Each test process draws on an X server of its own.
    if (!GTEST_FLAG_GET(list_tests) && !testsupport::UsePrivateDisplay())
        std::fprintf(stderr, "No private Xvfb could be started; using DISPLAY as it is.\n");
    return RUN_ALL_TESTS();
}
