#pragma once

// Lets a long-running tool end cleanly: after CatchStopSignals, an interrupt
// or termination request (SIGINT, SIGTERM) no longer ends the process but
// makes StopRequested true, which the tool's loop checks.
namespace platform {

bool CatchStopSignals();
bool StopRequested();

}  // namespace platform
