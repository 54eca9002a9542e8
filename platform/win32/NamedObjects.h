#pragma once

#include <windows.h>

#include "platform/SharedMemory.h"

// Opening the named objects behind shared-memory names; used only by the
// platform's own files. Names have no "Global\" prefix: they live in the
// namespace of the session the process runs in.
namespace platform::win32 {

// An existing file mapping, opened with `access` and READ_CONTROL (to read
// its owner and DACL); null when there is none.
HANDLE OpenMapping(const char* name, DWORD access);

// Whether any object, of whatever kind, has this name.
bool NameInUse(const char* name);

// What an open that failed says of the object.
OpenStatus StatusOfError(DWORD error);

}  // namespace platform::win32
