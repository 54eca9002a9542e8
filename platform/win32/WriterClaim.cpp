#include "platform/WriterClaim.h"

#include <windows.h>

#include "platform/win32/NamedObjects.h"

// A writer claims a channel by owning a named mutex of its own beside the
// channel's, for as long as it writes the channel. Windows gives up a mutex
// whose owning thread ends, so no claim outlives its writer, however it ends;
// the next writer finds it abandoned and takes it. The channel's own objects
// cannot serve: readers keep them alive after their writer is gone, so that
// they exist says nothing about a live writer.
namespace platform {
namespace {

std::string ClaimName(const char* name) { return SharedObjectName(name) + ".writer"; }

win32::HandleTable& Claims() {
    static win32::HandleTable table;
    return table;
}

// ERROR_ALREADY_EXISTS: someone made the claim's mutex; it is ours only if
// it is free or its owner died.
OpenStatus Take(HANDLE claim) {
    if (GetLastError() != ERROR_ALREADY_EXISTS) return OpenStatus::Opened;
    switch (WaitForSingleObject(claim, 0)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:
            return OpenStatus::Opened;
        case WAIT_TIMEOUT:
            return OpenStatus::LiveWriter;
        default:
            return OpenStatus::Failed;
    }
}

}  // namespace

ClaimHandle ClaimChannel(const char* name, ObjectCheck* check) {
    ObjectCheck local;
    if (!check) check = &local;
    *check = ObjectCheck{};
    if (!win32::NameUsable(check)) return noClaim;
    HANDLE claim = CreateMutexA(nullptr, TRUE, ClaimName(name).c_str());
    check->status = claim ? Take(claim) : OpenStatus::Failed;
    check->created = !win32::NameInUse(name);
    if (check->status == OpenStatus::Opened) return Claims().Add(claim);
    if (claim) CloseHandle(claim);
    return noClaim;
}

bool ReleaseClaim(ClaimHandle& claim) {
    HANDLE handle = Claims().Take(claim);
    claim = noClaim;
    return !handle || (ReleaseMutex(handle) && CloseHandle(handle));
}

bool ClaimHeld(const char* name) {
    HANDLE claim = OpenMutexA(SYNCHRONIZE, FALSE, ClaimName(name).c_str());
    if (!claim) return false;
    DWORD waited = WaitForSingleObject(claim, 0);
    bool held = waited == WAIT_TIMEOUT;
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(claim);
    CloseHandle(claim);
    return held;
}

// Every opening of a name gives the one object while it is open.
ObjectIdentity ClaimedObject(ClaimHandle claim) { return claim == noClaim ? ObjectIdentity{} : ObjectIdentity{1, 1}; }

// The claim's mutex has the writer's default security, which nobody changes
// under it without being its owner or an administrator.
bool ClaimLoosened(ClaimHandle) { return false; }

// A region keeps its creator's default security, which nobody changes under
// it without being its owner or an administrator.
bool RegionLoosened(RegionHandle, unsigned) { return false; }

// Names go with their last handle; none can be taken away from their holders.
bool UnlinkIfSame(const char*, const ObjectIdentity&) { return true; }

}  // namespace platform
