#pragma once

#include <string>
#include <sys/stat.h>

#include "platform/SharedMemory.h"

// How this platform opens the objects behind shared-memory names; used only by
// the platform's own shared-memory files.
namespace platform::posix {

// Where the C library keeps the objects shm_open names.
constexpr char objectDirectory[] = "/dev/shm";

// objectDirectory + "/" + the object's full name.
std::string ObjectPath(const char* name);

// Opens an existing object without blocking (a FIFO would hang the open) and
// without following a link, and keeps it only when it passes the trust rule;
// -1 otherwise, with the reason in `check`. `flags` is O_RDONLY or O_RDWR.
int OpenShared(const char* name, int flags, ObjectCheck* check);

// Creates the object, read-write, with exactly `mode` whatever the umask; -1
// with errno EEXIST when the name is taken.
int CreateShared(const char* name, unsigned mode);

// The trust rule on an object already open.
ObjectCheck CheckOpenObject(int descriptor);

}  // namespace platform::posix
