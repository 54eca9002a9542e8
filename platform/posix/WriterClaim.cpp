#include "platform/WriterClaim.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/SharedObjects.h"

namespace platform {

namespace {

constexpr mode_t privateMode = 0600;

// The whole file, however long it grows.
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

// Whether others than the object's owner and root may now write it: then no
// program locks the mutex in it.
bool Loosened(int descriptor) {
    return posix::CheckOpenObject(descriptor, posix::Rule::Lock).status != OpenStatus::Opened;
}

// A new object is the writer's own; one that exists must pass the lock rule.
int OpenOrCreate(const char* name, ObjectCheck* check) {
    int descriptor = posix::CreateShared(name, privateMode);
    if (descriptor >= 0) *check = posix::CheckOpenObject(descriptor, posix::Rule::Lock);
    check->created = descriptor >= 0;
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
    return posix::OpenShared(name, O_RDWR, check, posix::Rule::Lock);
}

OpenStatus Claim(int descriptor) {
    struct flock lock = WholeFile(F_WRLCK);
    if (fcntl(descriptor, F_OFD_SETLK, &lock) == 0) return OpenStatus::Opened;
    return errno == EAGAIN || errno == EACCES ? OpenStatus::LiveWriter : OpenStatus::Failed;
}

}  // namespace

ClaimHandle ClaimChannel(const char* name, ObjectCheck* check) {
    ObjectCheck local;
    if (!check) check = &local;
    int descriptor = OpenOrCreate(name, check);
    if (descriptor < 0) {
        if (check->status == OpenStatus::Opened) check->status = OpenStatus::Failed;
        return noClaim;
    }
    check->status = Claim(descriptor);
    if (check->status == OpenStatus::Opened) return descriptor;
    (void)close(descriptor);
    return noClaim;
}

bool ReleaseClaim(ClaimHandle& claim) {
    if (claim == noClaim) return true;
    bool closed = close(claim) == 0;
    claim = noClaim;
    return closed;
}

bool ClaimHeld(const char* name) {
    int descriptor = posix::OpenShared(name, O_RDWR, nullptr);
    if (descriptor < 0) return false;
    struct flock lock = WholeFile(F_WRLCK);
    bool held = fcntl(descriptor, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    (void)close(descriptor);
    return held;
}

ObjectIdentity ClaimedObject(ClaimHandle claim) { return RegionIdentity(claim); }

bool ClaimLoosened(ClaimHandle claim) { return claim != noClaim && Loosened(claim); }

// The name can change between the look and the removal; only the owner of
// the objects and root can remove them, and both may do so anyway.
bool UnlinkIfSame(const char* name, const ObjectIdentity& identity) {
    return NamedObjectIdentity(name) != identity || UnlinkSharedObject(name);
}

}  // namespace platform
