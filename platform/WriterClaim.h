#pragma once

#include "platform/ShMemWatch.h"
#include "platform/SharedMemory.h"

// One writer per channel. A writer claims a channel by holding a write lock
// of its own open file on the channel's mutex object for as long as it writes
// the channel. The kernel drops the lock with the last descriptor of that
// open file, so no claim outlives its writer, however it ends. The mutex
// object is private to its server (mode 0600): only its owner and root can
// open it for writing, so a watcher can neither take the claim nor block it.
// Nothing here prints.
namespace platform {

// A claimed mutex object, open; noClaim is the null handle.
using ClaimHandle = int;
constexpr ClaimHandle noClaim = -1;

// Opens the mutex object `name` or creates it with mode 0600 (empty: not yet
// a mutex), and claims it. `check` says what came of it: Opened (claimed),
// LiveWriter (another process holds the claim), or the lock rule's refusal
// (an existing object that others than its owner and root may write);
// `created` when this call made the object.
ClaimHandle ClaimChannel(const char* name, ObjectCheck* check);
// Gives the claim up by closing the object.
bool ReleaseClaim(ClaimHandle& claim);
// Whether some process holds the claim on the mutex object `name` now. An
// object this process may not open for writing cannot be asked: false.
bool ClaimHeld(const char* name);
// The object claimed, whatever its name refers to now.
ObjectIdentity ClaimedObject(ClaimHandle claim);
// Whether others than its owner (and root) may now write the claimed object,
// by mode or through an ACL (whose mask shows in the group bits).
bool ClaimLoosened(ClaimHandle claim);
// Removes `name` when it still refers to `identity`: a name that someone
// removed and made again belongs to someone else now. True when the name no
// longer refers to that object.
bool UnlinkIfSame(const char* name, const ObjectIdentity& identity);

}  // namespace platform
