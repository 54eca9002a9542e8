#include "platform/Window.h"

#include <windows.h>

namespace platform {
// Every Windows desktop offers OpenGL (at least Microsoft's own software one).
DisplayState CheckDisplay() { return DisplayState::Usable; }

bool DisplayAvailable() { return CheckDisplay() == DisplayState::Usable; }

WindowHandle FindWindowByTitle(const char* title) {
    if (!title) return 0;
    return reinterpret_cast<WindowHandle>(FindWindowA(nullptr, title));
}

bool RaiseWindow(WindowHandle window) {
    return window != 0 && SetForegroundWindow(reinterpret_cast<HWND>(window)) != 0;
}

}  // namespace platform
