#include "platform/Console.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

namespace platform {
namespace {

// Standard output's descriptor stands in for the console handle; a handle is
// only ever given out when that descriptor is a terminal.
int Descriptor(void* handle) { return static_cast<int>(reinterpret_cast<long>(handle)) - 1; }

class TerminalConsole : public Console {
public:
    void* OutputHandle() override {
        if (!isatty(STDOUT_FILENO)) return nullptr;
        return reinterpret_cast<void*>(static_cast<long>(STDOUT_FILENO) + 1);
    }

    bool Query(void* handle, ConsoleInfo& info) override {
        winsize size{};
        if (!handle || ioctl(Descriptor(handle), TIOCGWINSZ, &size) != 0) return false;
        if (size.ws_col == 0 || size.ws_row == 0) return false;
        info.bufferColumns = size.ws_col;
        info.bufferRows = size.ws_row;
        info.left = 0;
        info.top = 0;
        info.right = size.ws_col - 1;
        info.bottom = size.ws_row - 1;
        return true;
    }

    // A terminal's scroll-back is the terminal's own and far longer than the
    // 200 lines the viewer asks for; nothing needs doing.
    bool SetBufferSize(void* handle, int, int) override { return handle != nullptr; }

    bool SetTitle(void* handle, const char* title) override {
        if (!handle) return false;
        std::fflush(stdout);
        int length = std::fprintf(stdout, "\033]0;%s\007", title);
        std::fflush(stdout);
        return length > 0;
    }

    void Sleep(int milliseconds) override {
        timespec delay{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
        nanosleep(&delay, nullptr);
    }
};

}  // namespace

Console& SystemConsole() {
    static TerminalConsole console;
    return console;
}

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void MakeOutputUnbuffered() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

}  // namespace platform
