#include "platform/posix/SharedObjects.h"

#include <acl/libacl.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/acl.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::string SharedObjectName(const char* name) {
    const char* prefix = std::getenv("LUMIVEX_SHM_PREFIX");
    return std::string(prefix ? prefix : "") + name;
}

namespace posix {

namespace {

// Whether this process's user belongs to the group, as its primary or a
// supplementary group.
bool InOwnGroups(gid_t group) {
    if (group == getegid()) return true;
    int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    count = getgroups(count, groups.data());
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<std::size_t>(i)] == group) return true;
    return false;
}

bool MayWrite(acl_entry_t entry) {
    acl_permset_t permissions = nullptr;
    return acl_get_permset(entry, &permissions) == 0 && acl_get_perm(permissions, ACL_WRITE) == 1;
}

// Whether a named user or group entry lets someone other than this user, root
// or this user's groups write. The mask limits every such entry, and the
// mode's group bits show the mask, so a mask without write makes them
// harmless.
bool ForeignEntryMayWrite(acl_entry_t entry) {
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    if (acl_get_tag_type(entry, &tag) != 0) return true;
    if (tag != ACL_USER && tag != ACL_GROUP) return false;
    void* qualifier = acl_get_qualifier(entry);
    if (!qualifier) return true;
    bool foreign = tag == ACL_USER ? *static_cast<uid_t*>(qualifier) != geteuid() && *static_cast<uid_t*>(qualifier) != 0
                                   : !InOwnGroups(*static_cast<gid_t*>(qualifier));
    (void)acl_free(qualifier);
    return foreign && MayWrite(entry);
}

// An ACL the file system does not support cannot grant anything.
OpenStatus AclStatus(int descriptor, const struct stat& status) {
    if (!(status.st_mode & S_IWGRP)) return OpenStatus::Opened;
    acl_t acl = acl_get_fd(descriptor);
    if (!acl) return errno == ENOTSUP ? OpenStatus::Opened : OpenStatus::Failed;
    bool foreign = false;
    acl_entry_t entry = nullptr;
    for (int more = acl_get_entry(acl, ACL_FIRST_ENTRY, &entry); more == 1 && !foreign;
         more = acl_get_entry(acl, ACL_NEXT_ENTRY, &entry))
        foreign = ForeignEntryMayWrite(entry);
    (void)acl_free(acl);
    return foreign ? OpenStatus::WritableThroughAcl : OpenStatus::Opened;
}

// Owned by this user or root; nobody else may write it, except through a
// group this user belongs to.
OpenStatus TrustOf(int descriptor, const struct stat& status) {
    if (!S_ISREG(status.st_mode)) return OpenStatus::NotRegularFile;
    if (status.st_uid != geteuid() && status.st_uid != 0) return OpenStatus::ForeignOwner;
    if (status.st_mode & S_IWOTH) return OpenStatus::WritableByOthers;
    // With an ACL these bits are its mask, the most the owning group's own
    // entry may grant: a foreign owning group under a mask with write is
    // refused whatever that entry says.
    if ((status.st_mode & S_IWGRP) && !InOwnGroups(status.st_gid)) return OpenStatus::WritableByGroup;
    return AclStatus(descriptor, status);
}

// A symbolic link (ELOOP) or a FIFO without a reader (ENXIO) is not a region.
OpenStatus StatusOfError(int error) {
    switch (error) {
    case ENOENT: return OpenStatus::Missing;
    case ELOOP:
    case ENXIO:
    case EISDIR:
    case ENOTDIR: return OpenStatus::NotRegularFile;
    case EACCES:
    case EPERM: return OpenStatus::PermissionDenied;
    default: return OpenStatus::Failed;
    }
}

constexpr int openFlags = O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;

ObjectKind KindOf(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG: return ObjectKind::RegularFile;
    case S_IFIFO: return ObjectKind::Fifo;
    case S_IFLNK: return ObjectKind::SymbolicLink;
    case S_IFDIR: return ObjectKind::Directory;
    case S_IFCHR:
    case S_IFBLK: return ObjectKind::Device;
    case S_IFSOCK: return ObjectKind::Socket;
    default: return ObjectKind::Unknown;
    }
}

ObjectCheck Described(OpenStatus outcome, const struct stat& status) {
    return ObjectCheck{outcome, static_cast<unsigned>(status.st_uid), static_cast<unsigned>(status.st_gid),
                       static_cast<unsigned>(status.st_mode & 07777), KindOf(status.st_mode)};
}

// An open that failed: what the name refers to is told only when it is not a
// regular file, the one case where its kind, owner and mode explain the refusal.
ObjectCheck CheckFailedOpen(const char* name, int error) {
    OpenStatus outcome = StatusOfError(error);
    struct stat status {};
    if (outcome != OpenStatus::NotRegularFile || lstat(ObjectPath(name).c_str(), &status) != 0 || S_ISREG(status.st_mode))
        return ObjectCheck{outcome};
    return Described(outcome, status);
}

void Report(ObjectCheck* check, const ObjectCheck& value) {
    if (check) *check = value;
}

}  // namespace

std::string ObjectPath(const char* name) { return std::string(objectDirectory) + "/" + SharedObjectName(name); }

ObjectCheck CheckOpenObject(int descriptor) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return ObjectCheck{};
    return Described(TrustOf(descriptor, status), status);
}

int OpenShared(const char* name, int flags, ObjectCheck* check) {
    int descriptor = open(ObjectPath(name).c_str(), flags | openFlags);
    if (descriptor < 0) {
        Report(check, CheckFailedOpen(name, errno));
        return -1;
    }
    ObjectCheck trust = CheckOpenObject(descriptor);
    Report(check, trust);
    if (trust.status == OpenStatus::Opened) return descriptor;
    (void)close(descriptor);
    return -1;
}

int CreateShared(const char* name, unsigned mode) {
    int descriptor = open(ObjectPath(name).c_str(), O_RDWR | O_CREAT | O_EXCL | openFlags, static_cast<mode_t>(mode));
    if (descriptor < 0 || fchmod(descriptor, static_cast<mode_t>(mode)) == 0) return descriptor;
    (void)close(descriptor);
    return -1;
}

}  // namespace posix

}  // namespace platform
