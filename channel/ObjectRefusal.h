#pragma once

#include <string>

#include "platform/SharedMemory.h"

// Why an object is not used, in words for a message: "owned by another user
// (owner uid 65534, group 65534, mode 0666)", "not a regular file (a FIFO,
// owner uid 0, group 0, mode 0666)". What the system says of the object is told
// when the object was there to be looked at.
std::string RefusalReason(const platform::ObjectCheck& check);
// The system's own words for a failure (": Too many open files"), or "" when
// it gave none.
std::string SystemCause(const platform::ObjectCheck& check);

// Follows the reason why a channel's mutex object is refused (`status`), when
// the server keeps no write sequence either: how the channel can be read.
std::string MutexRefusalFix(platform::OpenStatus status);
// Follows a refusal for `status`: for a mutex object its own group may write,
// the set-up earlier releases advised (0660), what replaced it and how to
// change over; empty for other refusals.
std::string EarlierModeHint(platform::OpenStatus status);
// An object's full name as every message shows it: the prefix comes from
// the environment and may hold anything, so it is escaped like any text
// from outside (ConsoleText).
std::string ShownName(const std::string& name);

// Says once per process, on standard error, what is wrong with the settings
// every program's shared objects depend on: a refused LUMIVEX_SHM_PREFIX
// (false then: nothing can be opened, created or removed) and a file of
// trusted owners that is ignored or names unknown users.
bool WarnAboutSharedObjectSettings();

class ShMemChannelSet;

// Why channel `channel` of the set is not read, naming the object by its full
// name: held (the region, for a channel read through its write sequence),
// left by a holder that died, refused and why, not ready, permission denied.
// Empty when its region does not exist (nothing is published) or nothing is
// wrong.
std::string DescribeTrouble(const ShMemChannelSet& set, int channel);

// That a writer of the channel was found dead holding its mutex, naming the
// mutex object, and whether what it left is read.
std::string DescribeWriterDeath(const ShMemChannelSet& set, int channel);
