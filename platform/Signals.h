#pragma once

// For programs that run until they are told to stop: once CatchStopRequests
// has run, SIGINT, SIGTERM and SIGHUP only raise a flag that the program's
// loop reads, so it can finish what it writes before it ends.
namespace platform {

// False when a handler could not be installed.
bool CatchStopRequests();
bool StopRequested();

}  // namespace platform
