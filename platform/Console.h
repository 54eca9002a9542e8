#pragma once

// The process's text console. On this platform a console exists when standard
// output is a terminal; the viewer never writes control sequences into a pipe
// or a log file.
namespace platform {

struct ConsoleInfo {
    int bufferColumns = 0;
    int bufferRows = 0;
    int left = 0;  // visible window, in buffer coordinates
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class Console {
public:
    virtual ~Console() = default;
    // Null when the process has no console.
    virtual void* OutputHandle() = 0;
    virtual bool Query(void* handle, ConsoleInfo& info) = 0;
    virtual bool SetBufferSize(void* handle, int columns, int rows) = 0;
    virtual bool SetTitle(void* handle, const char* title) = 0;
    virtual void Sleep(int milliseconds) = 0;
};

Console& SystemConsole();

// Standard error is a terminal: a progress line that rewrites itself may go there.
bool ErrorIsTerminal();

// Console text must appear when it is printed, also in a pipe.
void MakeOutputUnbuffered();

}  // namespace platform
