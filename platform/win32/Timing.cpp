#include "platform/Timing.h"

#include <windows.h>
#include <timeapi.h>

namespace platform {

// The system timer ticks every 15.6 ms by default, and a sleep ends on a tick;
// one millisecond is the finest period it offers.
bool WakeUpOnTime() { return timeBeginPeriod(1) == TIMERR_NOERROR; }

}  // namespace platform
