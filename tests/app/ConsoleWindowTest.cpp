#include "app/ConsoleWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A console with a title and a buffer of its own, which it changes as a real
// one does when asked, unless the test makes it refuse.
class FakeConsole : public platform::Console {
public:
    void* handle = reinterpret_cast<void*>(0x10);
    bool queryWorks = true;
    bool setSizeWorks = true;
    bool setTitleWorks = true;
    platform::ConsoleInfo info = Window(0, 0, 79, 24, 80, 300);
    std::string title = "before";
    bool foreignHandle = false;

    static platform::ConsoleInfo Window(int left, int top, int right, int bottom, int columns, int rows) {
        platform::ConsoleInfo window;
        window.bufferColumns = columns;
        window.bufferRows = rows;
        window.left = left;
        window.top = top;
        window.right = right;
        window.bottom = bottom;
        return window;
    }

    void* OutputHandle() override { return handle; }
    bool Query(void* h, platform::ConsoleInfo& out) override {
        foreignHandle = foreignHandle || h != handle;
        if (queryWorks) out = info;
        return queryWorks;
    }
    bool SetBufferSize(void* h, int columns, int rows) override {
        foreignHandle = foreignHandle || h != handle;
        if (setSizeWorks) info.bufferColumns = columns, info.bufferRows = rows;
        return setSizeWorks;
    }
    bool SetTitle(void* h, const char* text) override {
        foreignHandle = foreignHandle || h != handle;
        if (setTitleWorks) title = text;
        return setTitleWorks;
    }
    void Sleep(int) override {}
};

std::vector<int> Fields(const ConsoleWindow& w) {
    return {w.bufferColumns, w.bufferRows, w.windowWidth, w.windowHeight, w.windowLeft, w.windowTop};
}

TEST(ConsoleWindowTest, WithoutAConsoleEveryOperationFailsAndNothingChanges) {
    FakeConsole console;
    console.handle = nullptr;
    ConsoleWindow window("Lumivex Console", console);
    EXPECT_FALSE(window.Refresh());
    EXPECT_FALSE(window.SetTitle("Lumivex Console"));
    EXPECT_FALSE(window.SetBufferSize(80, 200));
    EXPECT_EQ(Fields(window), std::vector<int>(6, 0));
    EXPECT_EQ(console.title, "before");
    EXPECT_EQ(console.info.bufferRows, 300);
}

TEST(ConsoleWindowTest, TakesTheConsolesWindowAndTitlesIt) {
    FakeConsole console;
    console.info = FakeConsole::Window(3, 250, 82, 274, 120, 300);
    ConsoleWindow window("Lumivex Console", console);
    EXPECT_EQ(window.outputHandle, console.handle);
    EXPECT_EQ(console.title, "Lumivex Console");
    EXPECT_EQ(Fields(window), std::vector<int>({120, 300, 79, 24, 3, 250}));
    EXPECT_FALSE(console.foreignHandle);
}

TEST(ConsoleWindowTest, TitleIsLeftAloneWithoutOneAndTheConsoleHasTheLastWord) {
    FakeConsole console;
    ConsoleWindow untitled(nullptr, console);
    ConsoleWindow emptyTitled("", console);
    EXPECT_FALSE(untitled.SetTitle(nullptr));
    EXPECT_FALSE(untitled.SetTitle(""));
    EXPECT_EQ(console.title, "before");
    EXPECT_TRUE(untitled.SetTitle("first"));
    console.setTitleWorks = false;
    EXPECT_FALSE(untitled.SetTitle("second"));
    EXPECT_EQ(console.title, "first");
}

TEST(ConsoleWindowTest, RefreshCopiesTheWindowAndKeepsItWhenTheQueryFails) {
    FakeConsole console;
    ConsoleWindow window(nullptr, console);
    console.info = FakeConsole::Window(2, 40, 61, 69, 100, 500);
    EXPECT_TRUE(window.Refresh());
    EXPECT_EQ(Fields(window), std::vector<int>({100, 500, 59, 29, 2, 40}));
    console.queryWorks = false;
    console.info = FakeConsole::Window(0, 0, 9, 9, 10, 10);
    EXPECT_TRUE(window.Refresh()) << "a console is there even if it cannot be read";
    EXPECT_EQ(Fields(window), std::vector<int>({100, 500, 59, 29, 2, 40}));
}

// The buffer must reach past the window's right and bottom edges, which are
// positions in the buffer rather than the window's size.
TEST(ConsoleWindowTest, BufferSizeIsJudgedAgainstTheWindowsRightAndBottomEdges) {
    struct Case {
        const char* what;
        platform::ConsoleInfo window;
        std::vector<int> after;  // empty: refused, nothing changes
    };
    const Case cases[] = {
        {"80 columns from column 0", FakeConsole::Window(0, 0, 79, 24, 80, 300), {80, 200, 79, 24, 0, 0}},
        {"81 columns from column 0", FakeConsole::Window(0, 0, 80, 24, 81, 300), {}},
        {"narrow window scrolled right", FakeConsole::Window(60, 0, 90, 24, 120, 300), {}},
        {"last row 199", FakeConsole::Window(0, 175, 79, 199, 80, 300), {80, 200, 79, 24, 0, 175}},
        {"25 rows scrolled to 250..274", FakeConsole::Window(0, 250, 79, 274, 80, 300), {}},
        {"last row 200", FakeConsole::Window(0, 176, 79, 200, 80, 300), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeConsole console;
        console.info = c.window;
        ConsoleWindow window(nullptr, console);
        const std::vector<int> before = Fields(window);
        EXPECT_EQ(window.SetBufferSize(80, 200), !c.after.empty());
        EXPECT_EQ(Fields(window), c.after.empty() ? before : c.after);
        EXPECT_EQ(console.info.bufferRows, c.after.empty() ? c.window.bufferRows : 200);
    }
}

TEST(ConsoleWindowTest, NewBufferTakesTheWindowOriginButNotItsSize) {
    FakeConsole console;
    ConsoleWindow window(nullptr, console);
    console.info = FakeConsole::Window(5, 30, 50, 60, 90, 250);
    ASSERT_TRUE(window.SetBufferSize(80, 200));
    EXPECT_EQ(Fields(window), std::vector<int>({80, 200, 79, 24, 5, 30}));
}

TEST(ConsoleWindowTest, RefusedOrUnreadableConsoleKeepsItsBuffer) {
    FakeConsole refusing;
    ConsoleWindow window(nullptr, refusing);
    refusing.setSizeWorks = false;
    EXPECT_FALSE(window.SetBufferSize(80, 200));
    EXPECT_EQ(Fields(window), std::vector<int>({80, 300, 79, 24, 0, 0}));

    FakeConsole unreadable;
    ConsoleWindow other(nullptr, unreadable);
    unreadable.queryWorks = false;
    EXPECT_FALSE(other.SetBufferSize(80, 200));
    EXPECT_EQ(unreadable.info.bufferRows, 300);
}

}  // namespace
