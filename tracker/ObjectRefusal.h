#pragma once

#include <string>

#include "platform/SharedMemory.h"

// Why an object is not used, in words for a message: "owned by another user
// (owner uid 65534, group 65534, mode 0666)", "not a regular file (a FIFO,
// owner uid 0, group 0, mode 0666)". Kind, owner, group and mode are told
// when the object was there to be looked at.
std::string RefusalReason(const platform::ObjectCheck& check);

class ShMemChannelSet;

// Why channel `channel` of the set is not read, naming the object by its full
// name: held, left by a holder that died, refused and why, not ready,
// permission denied. Empty when its region does not exist (nothing is
// published) or nothing is wrong.
std::string DescribeTrouble(const ShMemChannelSet& set, int channel);
