#include "platform/Console.h"

#include <windows.h>

#include <cstdio>

namespace platform {
namespace {

// Standard output's handle is given out only when it is a console's screen
// buffer; a pipe or a file has none of the console's properties.
class WindowsConsole : public Console {
public:
    void* OutputHandle() override {
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (output == INVALID_HANDLE_VALUE || !output || !GetConsoleScreenBufferInfo(output, &info)) return nullptr;
        return output;
    }

    bool Query(void* handle, ConsoleInfo& info) override {
        CONSOLE_SCREEN_BUFFER_INFO buffer{};
        if (!handle || !GetConsoleScreenBufferInfo(handle, &buffer)) return false;
        info = ConsoleInfo{buffer.dwSize.X,     buffer.dwSize.Y,       buffer.srWindow.Left,
                           buffer.srWindow.Top, buffer.srWindow.Right, buffer.srWindow.Bottom};
        return true;
    }

    bool SetBufferSize(void* handle, int columns, int rows) override {
        COORD size{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
        return handle && SetConsoleScreenBufferSize(handle, size);
    }

    bool SetTitle(void* handle, const char* title) override { return handle && SetConsoleTitleA(title); }

    void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
};

}  // namespace

Console& SystemConsole() {
    static WindowsConsole console;
    return console;
}

bool ErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void MakeOutputUnbuffered() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

}  // namespace platform
