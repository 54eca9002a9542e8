#pragma once

#include <string>
#include <sys/stat.h>

#include "platform/SharedMemory.h"

// How this platform opens the objects behind shared-memory names; used only by
// the platform's own shared-memory files.
namespace platform::posix {

// Where the C library keeps the objects shm_open names.
constexpr char objectDirectory[] = "/dev/shm";

// objectDirectory + "/" + the object's full name; empty when the prefix is
// refused or the name is longer than a file name may be. Every open, create
// and remove goes by this path.
std::string ObjectPath(const char* name);

// Which rule an object must pass (see OpenStatus). RegularFile only looks
// at what it is, for a writer that may replace the object, or for asking who
// holds a lock on it: nothing of it is mapped or believed.
enum class Rule { Trust, Lock, RegularFile };

// Opens an existing object without blocking (a FIFO would hang the open) and
// without following a link, and keeps it only when it passes `rule`; -1
// otherwise, with the reason in `check`. `flags` is O_RDONLY or O_RDWR.
int OpenShared(const char* name, int flags, ObjectCheck* check, Rule rule = Rule::Trust);

// Creates the object, read-write, with exactly `mode` whatever the umask; -1
// with errno EEXIST when the name is taken, EINVAL when it is refused.
int CreateShared(const char* name, unsigned mode);

// `rule` on an object already open.
ObjectCheck CheckOpenObject(int descriptor, Rule rule = Rule::Trust);

// The lock rule, and nobody but its owner may even read it: what a writer
// keeps its mutex object to. Whoever may read it could take a lock on it
// that looks like a writer's claim, and reads the holders' addresses.
bool PrivateToThisUser(int descriptor);

// Whether anyone may write the object whom `mode` does not let: every user,
// its group when `mode` does not grant group write, or a user or group an
// ACL names.
bool WritableBeyond(int descriptor, unsigned mode);

// Whether objects of `owner` are trusted like this user's and root's: named
// in the file of trusted owners.
bool IsTrustedOwner(unsigned owner);

}  // namespace platform::posix
