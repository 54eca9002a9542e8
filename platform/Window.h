#pragma once

// The graphics window as the desktop sees it.
namespace platform {

using WindowHandle = unsigned long;  // 0: no window

// Whether a graphics display can be opened at all; checked before the
// toolkit is started, because the toolkit ends the process when it cannot.
bool DisplayAvailable();

// The top-level window whose title is `title`, or 0.
WindowHandle FindWindowByTitle(const char* title);

// Bring the window to the front and give it the keyboard focus.
bool RaiseWindow(WindowHandle window);

}  // namespace platform
