#pragma once

#include "platform/Console.h"

// The console that carries every log line: its title and scroll-back.
class ConsoleWindow {
public:
    explicit ConsoleWindow(const char* title, platform::Console& console = platform::SystemConsole());

    bool Refresh();
    bool SetTitle(const char* title);
    bool SetBufferSize(int columns, int rows);

    void* outputHandle = nullptr;
    int bufferColumns = 0;
    int bufferRows = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int windowLeft = 0;
    int windowTop = 0;

private:
    platform::Console& console;
};
