#include "tools/monitor/ScreenPainter.h"

#include "platform/TerminalScreen.h"

namespace {

// Only a backstop: every screen posted wakes the thread.
constexpr std::chrono::milliseconds idlePeriod(1000);

}  // namespace

ScreenPainter::ScreenPainter() : thread(idlePeriod, [this] { return ShowLatest(); }) {}

void ScreenPainter::Post(std::string screen) {
    {
        std::lock_guard<std::mutex> hold(guard);
        latest = std::move(screen);
        fresh = true;
    }
    thread.Wake();
}

bool ScreenPainter::ShowLatest() {
    std::string screen;
    {
        std::lock_guard<std::mutex> hold(guard);
        if (!fresh) return true;
        screen.swap(latest);
        fresh = false;
    }
    return platform::ShowScreen(screen);
}
