#pragma once

#include <cstdint>

// The graphics window as the desktop sees it.
namespace platform {

using WindowHandle = std::uintptr_t;  // 0: no window

// What keeps the toolkit from starting on the display, checked before it is
// started, because the toolkit ends the process when it cannot.
enum class DisplayState { Usable, NotOpened, NoOpenGl };
DisplayState CheckDisplay();

// Whether the toolkit can start: the display opens and offers OpenGL.
bool DisplayAvailable();

// The top-level window whose title is `title`, or 0.
WindowHandle FindWindowByTitle(const char* title);

// Bring the window to the front and give it the keyboard focus.
bool RaiseWindow(WindowHandle window);

}  // namespace platform
