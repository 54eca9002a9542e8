#include "platform/Signals.h"

#include <windows.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<bool> stopRequested{false};
COORD lastSize{0, 0};

// The system ends the process as soon as the handler returns from a close,
// log-off or shut-down event. The handler runs on a thread of its own, so it
// holds on for the few seconds the system grants while the program's loop
// finishes what it writes and returns from main, which ends the process.
BOOL WINAPI RequestStop(DWORD event) {
    stopRequested = true;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(4000);
    return TRUE;
}

bool ConsoleSize(COORD& size) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return false;
    size = COORD{static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1),
                 static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1)};
    return true;
}

}  // namespace

// Ctrl-C, Ctrl-Break and closing the console end a program as SIGINT,
// SIGTERM and SIGHUP do on Linux.
bool CatchStopRequests() { return SetConsoleCtrlHandler(RequestStop, TRUE) != 0; }

bool StopRequested() { return stopRequested; }

// A console sends no signal when its window changes size; the size is
// compared with the one last seen instead.
bool CatchResizes() { return ConsoleSize(lastSize); }

bool ResizeSeen() {
    COORD size{};
    if (!ConsoleSize(size) || (size.X == lastSize.X && size.Y == lastSize.Y)) return false;
    lastSize = size;
    return true;
}

// Windows has no bus errors: a mapping never shrinks under its views.
bool AcceptBusErrorsInThisThread() { return true; }

}  // namespace platform
