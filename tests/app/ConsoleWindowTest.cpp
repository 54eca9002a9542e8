#include "app/ConsoleWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// A console whose answers the test sets and whose every request is logged.
class FakeConsole : public platform::Console {
public:
    void* handle = reinterpret_cast<void*>(0x10);
    bool queryWorks = true;
    bool setSizeWorks = true;
    bool setTitleWorks = true;
    platform::ConsoleInfo info = Window(0, 0, 79, 24, 80, 300);
    Calls calls;

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
        calls.push_back("Query" + Of(h));
        if (queryWorks) out = info;
        return queryWorks;
    }
    bool SetBufferSize(void* h, int columns, int rows) override {
        calls.push_back("SetBufferSize(" + std::to_string(columns) + "," + std::to_string(rows) + ")" + Of(h));
        return setSizeWorks;
    }
    bool SetTitle(void* h, const char* title) override {
        calls.push_back(std::string("SetTitle(") + title + ")" + Of(h));
        return setTitleWorks;
    }
    void Sleep(int milliseconds) override { calls.push_back("Sleep(" + std::to_string(milliseconds) + ")"); }

private:
    std::string Of(void* h) const { return h == handle ? "" : " on a foreign handle"; }
};

std::vector<int> Fields(const ConsoleWindow& w) {
    return {w.bufferColumns, w.bufferRows, w.windowWidth, w.windowHeight, w.windowLeft, w.windowTop};
}

TEST(ConsoleWindowTest, WithoutAConsoleEveryOperationFailsAndNothingIsAsked) {
    FakeConsole console;
    console.handle = nullptr;

    ConsoleWindow window("Lumivex Console", console);

    EXPECT_EQ(window.outputHandle, nullptr);
    EXPECT_FALSE(window.Refresh());
    EXPECT_FALSE(window.SetTitle("Lumivex Console"));
    EXPECT_FALSE(window.SetBufferSize(80, 200));
    EXPECT_EQ(Fields(window), std::vector<int>(6, 0));
    EXPECT_EQ(console.calls, Calls());
}

TEST(ConsoleWindowTest, ConstructionReadsTheConsoleThenSetsTheTitle) {
    FakeConsole console;
    console.info = FakeConsole::Window(3, 250, 82, 274, 120, 300);

    ConsoleWindow window("Lumivex Console", console);

    EXPECT_EQ(window.outputHandle, console.handle);
    EXPECT_EQ(console.calls, Calls({"Query", "SetTitle(Lumivex Console)"}));
    EXPECT_EQ(Fields(window), std::vector<int>({120, 300, 79, 24, 3, 250}));
}

TEST(ConsoleWindowTest, MissingOrEmptyTitleLeavesTheTitleAlone) {
    FakeConsole console;
    ConsoleWindow untitled(nullptr, console);
    ConsoleWindow emptyTitled("", console);
    EXPECT_EQ(console.calls, Calls({"Query", "Query"}));

    EXPECT_FALSE(untitled.SetTitle(nullptr));
    EXPECT_FALSE(untitled.SetTitle(""));
    EXPECT_EQ(console.calls.size(), 2u);
}

TEST(ConsoleWindowTest, TitleResultIsTheConsolesAnswer) {
    FakeConsole console;
    ConsoleWindow window(nullptr, console);

    EXPECT_TRUE(window.SetTitle("first"));
    console.setTitleWorks = false;
    EXPECT_FALSE(window.SetTitle("second"));
    EXPECT_EQ(console.calls, Calls({"Query", "SetTitle(first)", "SetTitle(second)"}));
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
        bool accepted;
    };
    const Case cases[] = {
        {"80 columns from column 0", FakeConsole::Window(0, 0, 79, 24, 80, 300), true},
        {"81 columns from column 0", FakeConsole::Window(0, 0, 80, 24, 81, 300), false},
        {"narrow window scrolled right", FakeConsole::Window(60, 0, 90, 24, 120, 300), false},
        {"last row 199", FakeConsole::Window(0, 175, 79, 199, 80, 300), true},
        {"25 rows scrolled to 250..274", FakeConsole::Window(0, 250, 79, 274, 80, 300), false},
        {"last row 200", FakeConsole::Window(0, 176, 79, 200, 80, 300), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeConsole console;
        console.info = c.window;
        ConsoleWindow window(nullptr, console);
        const std::vector<int> before = Fields(window);
        console.calls.clear();

        EXPECT_EQ(window.SetBufferSize(80, 200), c.accepted);

        if (c.accepted) {
            EXPECT_EQ(console.calls, Calls({"Query", "SetBufferSize(80,200)", "Sleep(2)"}));
            EXPECT_EQ(window.bufferColumns, 80);
            EXPECT_EQ(window.bufferRows, 200);
        } else {
            EXPECT_EQ(console.calls, Calls({"Query"}));
            EXPECT_EQ(Fields(window), before);
        }
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
    EXPECT_EQ(refusing.calls, Calls({"Query", "Query", "SetBufferSize(80,200)"}));
    EXPECT_EQ(Fields(window), std::vector<int>({80, 300, 79, 24, 0, 0}));

    FakeConsole unreadable;
    ConsoleWindow other(nullptr, unreadable);
    unreadable.queryWorks = false;
    EXPECT_FALSE(other.SetBufferSize(80, 200));
    EXPECT_EQ(unreadable.calls, Calls({"Query", "Query"}));
}

}  // namespace
