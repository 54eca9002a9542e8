#include "platform/WriterClaim.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/posix/SharedObjects.h"

namespace platform {

namespace {

constexpr mode_t privateMode = 0600;

// Someone who keeps re-creating the name after each removal is refused
// after this many: the names of others are not fought over.
constexpr int replaceAttempts = 3;

// The whole file, however long it grows.
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

// The kind of lock someone holds on the whole object: F_UNLCK when nobody
// does, -1 when it cannot be asked.
short LockOnObject(int descriptor) {
    struct flock lock = WholeFile(F_WRLCK);
    return fcntl(descriptor, F_OFD_GETLK, &lock) == 0 ? lock.l_type : -1;
}

// A new object is the writer's own. One that exists is looked at, not yet
// believed: its claim and whether it is private decide what becomes of it.
int OpenOrCreate(const char* name, ObjectCheck& check) {
    int descriptor = posix::CreateShared(name, privateMode);
    int error = errno;
    check = ObjectCheck{};
    check.created = descriptor >= 0;
    check.status = descriptor >= 0   ? OpenStatus::Opened
                   : error == EINVAL ? OpenStatus::RefusedName
                                     : OpenStatus::Failed;
    check.error = descriptor >= 0 ? 0 : error;
    if (descriptor >= 0 || error != EEXIST) return descriptor;
    return posix::OpenShared(name, O_RDWR, &check, posix::Rule::RegularFile);
}

// What trying to claim an object found. Released: the lock that stood in
// the way went before it could be looked at.
enum class Found { Free, ReadLock, Claim, Released, Unknown };

// A read lock is nobody's claim: whoever could read the object could take one.
Found TakeClaim(int descriptor) {
    struct flock lock = WholeFile(F_WRLCK);
    if (fcntl(descriptor, F_OFD_SETLK, &lock) == 0) return Found::Free;
    if (errno != EAGAIN && errno != EACCES) return Found::Unknown;
    short held = LockOnObject(descriptor);
    const std::pair<short, Found> kinds[] = {
        {F_RDLCK, Found::ReadLock}, {F_WRLCK, Found::Claim}, {F_UNLCK, Found::Released}};
    for (const auto& kind : kinds)
        if (kind.first == held) return kind.second;
    return Found::Unknown;
}

// Removes an object this writer may not use: one that is not private to its
// user, or one someone else holds a lock on that is no claim. `check` tells
// of it, and when it cannot be removed says why by the lock rule.
bool RemoveUnfit(const char* name, int descriptor, Found found, ObjectCheck& check) {
    check = posix::CheckOpenObject(descriptor, posix::Rule::Lock);
    if (found == Found::ReadLock) check.description += ", locked by another process";
    check.replaced = UnlinkIfSame(name, RegionIdentity(descriptor));
    if (!check.replaced && check.status == OpenStatus::Opened) check.status = OpenStatus::Failed;
    return check.replaced;
}

// One try at the name: true when it is settled, claimed (`claim` set) or
// refused (`check` says why); false to try again, once an unfit object was
// removed or the name went in between.
bool TryClaim(const char* name, ObjectCheck& check, ClaimHandle& claim) {
    int descriptor = OpenOrCreate(name, check);
    if (descriptor < 0) return check.status != OpenStatus::Missing;
    Found found = TakeClaim(descriptor);
    if (found == Found::Free && posix::PrivateToThisUser(descriptor)) {
        claim = descriptor;
        return true;
    }
    bool live = found == Found::Claim || found == Found::Unknown;
    if (live) check.status = found == Found::Claim ? OpenStatus::LiveWriter : OpenStatus::Failed;
    bool settled = live || (found != Found::Released && !RemoveUnfit(name, descriptor, found, check));
    (void)close(descriptor);
    return settled;
}

}  // namespace

// What a removed object was stays in `check` beside the new one's claim.
ClaimHandle ClaimChannel(const char* name, ObjectCheck* check) {
    ObjectCheck local, removed;
    if (!check) check = &local;
    ClaimHandle claim = noClaim;
    bool settled = false;
    for (int attempt = 0; attempt <= replaceAttempts && !settled; ++attempt) {
        settled = TryClaim(name, *check, claim);
        if (check->replaced) removed = *check;
    }
    if (!settled) check->status = OpenStatus::Failed;
    if (claim == noClaim || !removed.replaced) return claim;
    check->replaced = true;
    check->description = removed.description;
    return claim;
}

bool ReleaseClaim(ClaimHandle& claim) {
    if (claim == noClaim) return true;
    bool closed = close(claim) == 0;
    claim = noClaim;
    return closed;
}

// Asking needs no write access and no trust: only the lock is looked at.
bool ClaimHeld(const char* name) {
    int descriptor = posix::OpenShared(name, O_RDONLY, nullptr, posix::Rule::RegularFile);
    if (descriptor < 0) return false;
    bool held = LockOnObject(descriptor) == F_WRLCK;
    (void)close(descriptor);
    return held;
}

ObjectIdentity ClaimedObject(ClaimHandle claim) { return RegionIdentity(claim); }

bool ClaimLoosened(ClaimHandle claim) { return claim != noClaim && !posix::PrivateToThisUser(claim); }

bool RegionLoosened(RegionHandle region, unsigned mode) {
    return region != noRegion && posix::WritableBeyond(region, mode);
}

// The name can change between the look and the removal; only the owner of
// the objects and root can remove them, and both may do so anyway.
bool UnlinkIfSame(const char* name, const ObjectIdentity& identity) {
    return NamedObjectIdentity(name) != identity || UnlinkSharedObject(name);
}

}  // namespace platform
