#include "tracker/StartUpLockWaits.h"

#include <algorithm>

#include "tracker/ShMemChannelSet.h"

std::chrono::nanoseconds StartUpLockWaits::ForNextChannel() const {
    return std::clamp<std::chrono::nanoseconds>(deadline - Clock::now(), ShMemChannelSet::lockBudget, perChannel);
}
