#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

#include "platform/SharedMemory.h"

// Opening the named objects behind shared-memory names; used only by the
// platform's own files. Names have no "Global\" prefix: they live in the
// namespace of the session the process runs in.
namespace platform::win32 {

// An existing file mapping, opened with `access` and READ_CONTROL (to read
// its owner and DACL), and SECTION_QUERY (to ask its size) where granted;
// null when there is none.
HANDLE OpenMapping(const char* name, DWORD access);

// An existing mutex, opened with SYNCHRONIZE and READ_CONTROL; null when there
// is none.
HANDLE OpenNamedMutex(const char* name);

// Whether the prefix lets objects be created; when not, `check` says so.
bool NameUsable(ObjectCheck* check);

// Whether any object, of whatever kind, has this name.
bool NameInUse(const char* name);

// What an open that failed says of the object.
OpenStatus StatusOfError(DWORD error);

// Small numbers (from 0) standing for the handles kept here, for the
// platform's handle types that are numbers.
class HandleTable {
public:
    int Add(HANDLE handle);
    HANDLE Get(int number);
    // Forgets the handle and gives it back, to be closed.
    HANDLE Take(int number);

private:
    std::mutex guard;
    std::vector<HANDLE> handles;
};

}  // namespace platform::win32
