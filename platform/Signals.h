#pragma once

// For programs that run until they are told to stop: once CatchStopRequests
// has run, SIGINT, SIGTERM and SIGHUP only raise a flag that the program's
// loop reads, so it can finish what it writes before it ends.
namespace platform {

// False when a handler could not be installed.
bool CatchStopRequests();
bool StopRequested();

// Once CatchResizes has run, a change of the terminal's size (SIGWINCH) only
// raises a flag; ResizeSeen answers true once for each such change (or for
// several that came between two calls).
bool CatchResizes();
bool ResizeSeen();

}  // namespace platform
