#include "channel/StartUpLockWaits.h"

#include <algorithm>

#include "channel/ShMemChannelSet.h"

std::chrono::nanoseconds StartUpLockWaits::ForNextChannel() const {
    return std::clamp<std::chrono::nanoseconds>(deadline - Clock::now(), ShMemChannelSet::lockBudget, perChannel);
}
