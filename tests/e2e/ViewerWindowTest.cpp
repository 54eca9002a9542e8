#include "tests/e2e/ViewerWindowTest.h"

#include <string>

namespace e2e {

const std::vector<std::string> PublisherOptions{"--flags", "0x213",  "--motion",
                                                "still",   "--pose", "0=0.85,0.4,0.2,0,0,0"};

namespace {

const Milliseconds InputLimit(5000);
const Milliseconds WindowLimit(10000);
const Pixel KeyboardSpot{320, 20};

}  // namespace

std::unique_ptr<XServer> ViewerWindowTest::server;

void ViewerWindowTest::SetUpTestSuite() {
    server = std::make_unique<XServer>();
    if (!server->Start()) server.reset();
}

void ViewerWindowTest::TearDownTestSuite() { server.reset(); }

void ViewerWindowTest::SetUp() {
    ASSERT_TRUE(server) << "Xvfb could not be started";
    ASSERT_FALSE(ProgramPath("lumivex").empty()) << "LUMIVEX_BIN is not set";
    ASSERT_TRUE(channels.Unlink()) << "the shared-memory names could not be removed";
    ASSERT_TRUE(channels.Publish(PublisherOptions)) << "the publisher could not be started";
}

void ViewerWindowTest::TearDown() {
    if (buttonHeld) {
        EXPECT_TRUE(Release());
    }
    viewer.Stop();
    channels.StopPublisher();
    EXPECT_TRUE(channels.Unlink()) << "the shared-memory names could not be removed";
}

bool ViewerWindowTest::StartViewer(const std::vector<std::string>& switches) {
    std::vector<std::string> environment = ChildEnvironment({"DISPLAY=" + server->Display(), channels.PrefixSetting()});
    return viewer.Start(switches, environment) && FindWindow() && viewer.Expect(StartupEnd);
}

// The window counts once it can be seen: input sent earlier would be lost.
bool ViewerWindowTest::FindWindow() {
    Outcome search = RunToEnd({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Orvex Lumivex$"},
                              ChildEnvironment({"DISPLAY=" + server->Display()}), WindowLimit);
    window = search.output.substr(0, search.output.find('\n'));
    return search.finished && search.status == 0 && !window.empty();
}

bool ViewerWindowTest::Xdotool(std::vector<std::string> command) {
    command.insert(command.begin(), "xdotool");
    Outcome run = RunToEnd(command, ChildEnvironment({"DISPLAY=" + server->Display()}), InputLimit);
    return run.finished && run.status == 0;
}

bool ViewerWindowTest::Click(Pixel at, int button) {
    return Xdotool(
        {"mousemove", "--window", window, std::to_string(at.x), std::to_string(at.y), "click", std::to_string(button)});
}

bool ViewerWindowTest::Press(Pixel at) {
    buttonHeld = true;
    return Xdotool({"mousemove", "--window", window, std::to_string(at.x), std::to_string(at.y), "mousedown", "1"});
}

bool ViewerWindowTest::MoveTo(Pixel at) {
    return Xdotool({"mousemove", "--window", window, std::to_string(at.x), std::to_string(at.y)});
}

bool ViewerWindowTest::Release() {
    buttonHeld = false;
    return Xdotool({"mouseup", "1"});
}

bool ViewerWindowTest::Key(const std::string& name) {
    return Xdotool(
        {"mousemove", "--window", window, std::to_string(KeyboardSpot.x), std::to_string(KeyboardSpot.y), "key", name});
}

bool ViewerWindowTest::WaitForScreen(const std::function<bool(const Screenshot&)>& condition, Screenshot& shot,
                                     Milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        if (shot.Take(server->Display()) && condition(shot)) return true;
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace e2e
