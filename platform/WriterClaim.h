#pragma once

#include "platform/ShMemWatch.h"
#include "platform/SharedMemory.h"

// One writer per channel. A writer claims a channel by holding a write lock
// of its own open file on the channel's mutex object for as long as it writes
// the channel. The kernel drops the lock with the last descriptor of that
// open file, so no claim outlives its writer, however it ends. A writer uses
// only a mutex object that is private to its user (its own, mode 0600):
// nobody else can open it, so a watcher can neither take the claim nor
// block it, nor read the addresses of those who hold the mutex. Only a write
// lock is a claim; it needs the object open for writing. Nothing here prints.
namespace platform {

// A claimed mutex object, open; noClaim is the null handle.
using ClaimHandle = int;
constexpr ClaimHandle noClaim = -1;

// Opens the mutex object `name` or creates it with mode 0600 (empty: not yet
// a mutex), and claims it. An existing object that is not private to this
// user, or on which someone else holds a lock that is no claim, is removed
// and made afresh, unless a live writer claims it. `check` says what came
// of it: Opened (claimed), LiveWriter (another process holds the claim), or
// why an object that is not private could not be removed (the lock rule's
// refusal); `created` when this call made the object, `replaced` when it
// removed another first.
ClaimHandle ClaimChannel(const char* name, ObjectCheck* check);
// Gives the claim up by closing the object.
bool ReleaseClaim(ClaimHandle& claim);
// Whether some process holds the claim on the mutex object `name` now,
// whoever owns it. An object this process may not open cannot be asked:
// false.
bool ClaimHeld(const char* name);
// The object claimed, whatever its name refers to now.
ObjectIdentity ClaimedObject(ClaimHandle claim);
// Whether the claimed object is no longer private to this user: others may
// now read or write it, by mode or through an ACL (whose mask shows in the
// group bits).
bool ClaimLoosened(ClaimHandle claim);
// Whether anyone may now write the region whom `mode` does not let: every
// user, its group when `mode` does not, or a user or group an ACL names.
bool RegionLoosened(RegionHandle region, unsigned mode);
// Removes `name` when it still refers to `identity`: a name that someone
// removed and made again belongs to someone else now. True when the name no
// longer refers to that object.
bool UnlinkIfSame(const char* name, const ObjectIdentity& identity);

}  // namespace platform
