#include "tests/framework/RecordingApp.h"

#include <optional>

#include <cstdlib>

namespace {

using Calls = std::vector<std::string>;

struct Event {
    const char* what;
    std::function<void()> send;
    Calls expected;
};

const Event events[] = {
    {"display", [] { GraphicsApp::DisplayCallback(); }, {"Display"}},
    {"key with position", [] { GraphicsApp::KeyboardCallback('q', 5, 6); }, {"Keyboard(113)"}},
    {"special key", [] { GraphicsApp::SpecialCallback(GLUT_KEY_F5, 5, 6); }, {"SpecialKey(5,5,6)"}},
    {"left press", [] { GraphicsApp::MouseCallback(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 20); }, {"MouseDown(10,20,0)"}},
    {"right press", [] { GraphicsApp::MouseCallback(GLUT_RIGHT_BUTTON, GLUT_DOWN, 10, 20); }, {"MouseDown(10,20,0)"}},
    {"middle press", [] { GraphicsApp::MouseCallback(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 10, 20); }, {"MouseDown(10,20,1)"}},
    // A wheel notch comes as a press and a release of buttons 3 to 6.
    {"wheel up", [] { GraphicsApp::MouseCallback(3, GLUT_DOWN, 10, 20); }, {"MoveStep(104)", "Display"}},
    {"wheel down", [] { GraphicsApp::MouseCallback(4, GLUT_DOWN, 10, 20); }, {"MoveStep(105)", "Display"}},
    {"wheel up release", [] { GraphicsApp::MouseCallback(3, GLUT_UP, 10, 20); }, {}},
    {"wheel down release", [] { GraphicsApp::MouseCallback(4, GLUT_UP, 10, 20); }, {}},
    {"wheel left", [] { GraphicsApp::MouseCallback(5, GLUT_DOWN, 10, 20); }, {}},
    {"wheel right", [] { GraphicsApp::MouseCallback(6, GLUT_DOWN, 10, 20); }, {}},
    {"right release", [] { GraphicsApp::MouseCallback(GLUT_RIGHT_BUTTON, GLUT_UP, 10, 20); }, {"MouseUp(2)"}},
    {"middle release", [] { GraphicsApp::MouseCallback(GLUT_MIDDLE_BUTTON, GLUT_UP, 10, 20); }, {"MouseUp(1)"}},
    {"unknown button state", [] { GraphicsApp::MouseCallback(GLUT_LEFT_BUTTON, 2, 10, 20); }, {}},
    {"drag", [] { GraphicsApp::MotionCallback(10, 30); }, {"MouseMotion(10,30)"}},
    {"passive motion", [] { GraphicsApp::PassiveMotionCallback(3, 4); }, {"PassiveMotion(3,4)"}},
    {"entry", [] { GraphicsApp::EntryCallback(GLUT_ENTERED); }, {"Entry(1)"}},
    {"reshape", [] { GraphicsApp::ReshapeCallback(320, 240); }, {"Reshape(320,240)", "Display"}},
};

class DispatchTest : public AppTest {};

TEST_F(DispatchTest, TrampolinesForwardEachEventToTheCurrentApplication) {
    for (const Event& event : events) {
        SCOPED_TRACE(event.what);
        app->calls.clear();
        event.send();
        EXPECT_EQ(app->calls, event.expected);
    }
}

TEST_F(DispatchTest, TrampolinesIgnoreEventsWhileThereIsNoApplication) {
    GraphicsApp::current = nullptr;
    for (const Event& event : events) event.send();
    GraphicsApp::current = app.get();

    EXPECT_EQ(app->calls, Calls());
}

TEST_F(DispatchTest, EventsAfterTheApplicationIsDestroyedAreIgnored) {
    auto* late = new RecordingApp;
    ASSERT_EQ(GraphicsApp::current, late);
    delete late;

    EXPECT_EQ(GraphicsApp::current, nullptr);
    for (const Event& event : events) event.send();
    GraphicsApp::current = app.get();
    EXPECT_EQ(app->calls, Calls());
}

TEST_F(DispatchTest, DragPositionIsKeptInBothWindowAndOpenGlCoordinates) {
    ASSERT_EQ(app->viewport[3], 480);

    app->MouseMotion(10, 30);

    EXPECT_EQ(app->mouseX, 10);
    EXPECT_EQ(app->mouseY, 30);
    EXPECT_EQ(app->pickX, 10);
    EXPECT_EQ(app->pickY, 450);
}

struct KeyCase {
    unsigned char key;
    Calls effects;                     // after the Keyboard call itself
    std::optional<MoveType> moveType;  // the one chosen; none: left as it was
};

const KeyCase keyCases[] = {
    {'A', {"SetViewType(0)"}, {}},
    {'a', {"SetViewType(0)"}, {}},
    {'V', {"SetViewType(1)"}, {}},
    {'v', {"SetViewType(1)"}, {}},
    {'F', {"SetViewType(2)"}, {}},
    {'f', {"SetViewType(2)"}, {}},
    {'S', {}, MoveType::Spherical},
    {'s', {}, MoveType::Spherical},
    {'C', {}, MoveType::Cylindrical},
    {'c', {}, MoveType::Cylindrical},
    {'X', {}, MoveType::Cartesian},
    {'x', {}, MoveType::Cartesian},
    {'Z', {"MoveStep(104)", "Display"}, {}},
    {'z', {"MoveStep(105)", "Display"}, {}},
    {' ', {"ToggleTracking"}, {}},
    {'H', {"PrintHelp(0)"}, {}},
    {'h', {"PrintHelp(0)"}, {}},
    {'T', {"ToggleTiming"}, {}},
    {'t', {"ToggleTiming"}, {}},
    {'B', {}, {}},
    {'b', {}, {}},
};

TEST_F(DispatchTest, KeyMapWorksInBothLetterCases) {
    StdoutCapture quiet;
    // From two move types, so that each choice is seen to change it.
    for (MoveType before : {MoveType::Spherical, MoveType::Cartesian})
        for (const KeyCase& c : keyCases) {
            SCOPED_TRACE(std::string(1, char(c.key)));
            app->viewType = ViewType::LookAtCentre;
            app->moveType = before;
            app->calls.clear();

            EXPECT_TRUE(app->Keyboard(c.key));

            Calls expected = {"Keyboard(" + std::to_string(c.key) + ")"};
            expected.insert(expected.end(), c.effects.begin(), c.effects.end());
            EXPECT_EQ(app->calls, expected);
            EXPECT_EQ(app->moveType, c.moveType.value_or(before));
        }
    EXPECT_TRUE(app->bannerOn) << "B and b toggled it an even number of times";
    EXPECT_FALSE(app->timingOn) << "T and t toggled it an even number of times";
}

TEST_F(DispatchTest, KeysOutsideTheMapAreLeftToTheDerivedClass) {
    for (unsigned char key : {'q', 'Q', 'e', 'y', '1', '\r', '\t', '\0', '\x7f', '\xc8', '\xff'}) {
        app->calls.clear();
        EXPECT_FALSE(app->Keyboard(key)) << int(key);
        EXPECT_EQ(app->calls.size(), 1u) << int(key);
    }
    EXPECT_EQ(app->viewType, ViewType::LookAtCentre);
    EXPECT_EQ(app->moveType, MoveType::Spherical);
    EXPECT_TRUE(app->bannerOn);
    EXPECT_FALSE(app->timingOn);
    EXPECT_FLOAT_EQ(app->eye[2], 8);
}

TEST_F(DispatchTest, BannerKeyRedrawsOnlyOnceTheCallbacksAreRegistered) {
    app->Keyboard('b');
    EXPECT_FALSE(app->bannerOn);
    EXPECT_EQ(app->Count("Display"), 0);

    app->RegisterCallbacks();
    ASSERT_NE(app->redisplay, nullptr);
    app->Keyboard('B');

    EXPECT_TRUE(app->bannerOn);
    EXPECT_EQ(app->Count("Display"), 1);
}

TEST_F(DispatchTest, ClipRangeRefusesTooNearOrReversedDistances) {
    struct Range {
        float nearClip, farClip;
        bool accepted;
    };
    const Range ranges[] = {{0, 100, false}, {5, 1, false}, {1e-7f, 10, false},
                            {-1, 10, false}, {1, 1, true},  {1e-6f, 5, true}};
    for (const Range& range : ranges) {
        SCOPED_TRACE(testing::Message() << range.nearClip << ".." << range.farClip);
        app->nearClip = 0.1f;
        app->farClip = 200.1f;

        EXPECT_EQ(app->SetClipRange(range.nearClip, range.farClip), range.accepted);

        EXPECT_FLOAT_EQ(app->nearClip, range.accepted ? range.nearClip : 0.1f);
        EXPECT_FLOAT_EQ(app->farClip, range.accepted ? range.farClip : 200.1f);
    }
}

TEST(QuitTest, EscapeEndsTheProcessWithStatusOne) {
    EXPECT_EXIT(
        {
            GraphicsApp app;
            GraphicsApp::current = &app;
            GraphicsApp::KeyboardCallback(27, 0, 0);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
