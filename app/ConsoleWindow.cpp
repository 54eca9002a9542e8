#include "app/ConsoleWindow.h"

ConsoleWindow::ConsoleWindow(const char* title, platform::Console& systemConsole) : console(systemConsole) {
    outputHandle = console.OutputHandle();
    Refresh();
    if (title) SetTitle(title);
}

bool ConsoleWindow::Refresh() {
    if (!outputHandle) return false;
    platform::ConsoleInfo info;
    if (console.Query(outputHandle, info)) {
        bufferColumns = info.bufferColumns;
        bufferRows = info.bufferRows;
        windowWidth = info.right - info.left;
        windowHeight = info.bottom - info.top;
        windowLeft = info.left;
        windowTop = info.top;
    }
    return true;
}

bool ConsoleWindow::SetTitle(const char* title) {
    if (!title || !*title || !outputHandle) return false;
    return console.SetTitle(outputHandle, title);
}

bool ConsoleWindow::SetBufferSize(int columns, int rows) {
    if (!outputHandle) return false;
    platform::ConsoleInfo info;
    // Without the window's position the size cannot be judged safe.
    if (!console.Query(outputHandle, info)) return false;
    // Judged against the window's position in the buffer, not its size.
    if (columns <= info.right || rows <= info.bottom) return false;
    if (!console.SetBufferSize(outputHandle, columns, rows)) return false;
    bufferColumns = columns;
    bufferRows = rows;
    windowLeft = info.left;
    windowTop = info.top;
    console.Sleep(2);
    return true;
}
