#include "platform/Window.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace platform {
namespace {

// One connection of our own, opened by the display check or on first use,
// and kept for the whole run: for window look-ups and raising, and so that
// the X server always has a client of ours while the toolkit opens its own
// connection for drawing. A server started without -noreset resets when its
// last client leaves; a check that closed its connection before the toolkit
// connected left the toolkit to meet a server in the middle of its reset,
// and the toolkit ends the process when it cannot connect.
Display* Connection() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

// A window found by title belongs to whichever program made it, which may
// destroy it at any moment; the resulting protocol errors on this connection
// are counted here instead of ending the process as Xlib's default would.
int errorsSeen = 0;

int CountError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* d) : display(d) {
        XSync(display, False);
        errorsSeen = 0;
        previous = XSetErrorHandler(CountError);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    ~ErrorTrap() {
        XSync(display, False);
        XSetErrorHandler(previous);
    }
    bool Failed() {
        XSync(display, False);
        return errorsSeen != 0;
    }

private:
    Display* display;
    XErrorHandler previous;
};

bool TitleIs(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name) return false;
    bool same = std::strcmp(name, title) == 0;
    XFree(name);
    return same;
}

Window FindBelow(Display* display, Window parent, const char* title, int depth) {
    if (TitleIs(display, parent, title)) return parent;
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    if (depth == 0 || !XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = FindBelow(display, children[i], title, depth - 1);
    if (children) XFree(children);
    return found;
}

}  // namespace

DisplayState CheckDisplay() {
    Display* display = Connection();
    if (!display) return DisplayState::NotOpened;
    int errorBase = 0, eventBase = 0;
    return glXQueryExtension(display, &errorBase, &eventBase) ? DisplayState::Usable : DisplayState::NoOpenGl;
}

bool DisplayAvailable() { return CheckDisplay() == DisplayState::Usable; }

WindowHandle FindWindowByTitle(const char* title) {
    Display* display = Connection();
    if (!display || !title) return 0;
    ErrorTrap trap(display);
    // Our own window first: another program's window may carry the same title.
    Window own = glXGetCurrentDrawable();
    if (own && TitleIs(display, own, title)) return own;
    // A window manager may wrap the window in frames; two levels cover that.
    return FindBelow(display, DefaultRootWindow(display), title, 3);
}

bool RaiseWindow(WindowHandle window) {
    Display* display = Connection();
    if (!display || window == 0) return false;
    ErrorTrap trap(display);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    XRaiseWindow(display, window);
    // Focusing a window that is not viewable is a protocol error, which
    // Xlib's default handler answers by ending the process.
    if (attributes.map_state == IsViewable) XSetInputFocus(display, window, RevertToParent, CurrentTime);
    return !trap.Failed();
}

}  // namespace platform
