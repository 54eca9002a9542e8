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

// Lets a bus error (SIGBUS: shared memory shrunk under a mapping) reach its
// handler in the calling thread. Threads that a library starts may block
// every signal; a fault with SIGBUS blocked kills the process instead, so a
// thread that writes shared memory calls this first. False when the mask
// could not be changed.
bool AcceptBusErrorsInThisThread();

}  // namespace platform
