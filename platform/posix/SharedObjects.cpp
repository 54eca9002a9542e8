#include "platform/posix/SharedObjects.h"

#include "platform/ObjectPrefix.h"

#include <acl/libacl.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/acl.h>
#include <unistd.h>
#include <vector>

namespace platform {

// Leaves room for the longest name a channel adds to the prefix.
constexpr std::size_t maxPrefixLength = NAME_MAX - 32;

std::string SharedPrefixRefusal() { return prefix::Refusal(prefix::Current(), '/', maxPrefixLength); }

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
    bool foreign = tag == ACL_USER
                       ? *static_cast<uid_t*>(qualifier) != geteuid() && *static_cast<uid_t*>(qualifier) != 0
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

// Owned by this user, root or a trusted owner; nobody else may write it,
// except through a group this user belongs to.
OpenStatus TrustOf(int descriptor, const struct stat& status) {
    if (!S_ISREG(status.st_mode)) return OpenStatus::NotRegularFile;
    bool trustedOwner = status.st_uid == geteuid() || status.st_uid == 0 || IsTrustedOwner(status.st_uid);
    if (!trustedOwner) return OpenStatus::ForeignOwner;
    if (status.st_mode & S_IWOTH) return OpenStatus::WritableByOthers;
    // With an ACL these bits are its mask, the most the owning group's own
    // entry may grant: a foreign owning group under a mask with write is
    // refused whatever that entry says.
    if ((status.st_mode & S_IWGRP) && !InOwnGroups(status.st_gid)) return OpenStatus::WritableByGroup;
    return AclStatus(descriptor, status);
}

// Whether an ACL names a user or group that may write. The mask limits every
// such entry, and the mode's group bits show the mask.
bool NamedEntryMayWrite(int descriptor) {
    acl_t acl = acl_get_fd(descriptor);
    if (!acl) return false;  // no ACL support: the mode says it all
    bool writer = false;
    acl_entry_t entry = nullptr;
    for (int more = acl_get_entry(acl, ACL_FIRST_ENTRY, &entry); more == 1 && !writer;
         more = acl_get_entry(acl, ACL_NEXT_ENTRY, &entry)) {
        acl_tag_t tag = ACL_UNDEFINED_TAG;
        writer = acl_get_tag_type(entry, &tag) == 0 && (tag == ACL_USER || tag == ACL_GROUP) && MayWrite(entry);
    }
    (void)acl_free(acl);
    return writer;
}

// The trust rule, this user's own (root may write anything anyway), and
// nobody else may write it: not its group, even one this user is in, nor
// anyone an ACL names.
OpenStatus LockRuleOf(int descriptor, const struct stat& status) {
    OpenStatus trust = TrustOf(descriptor, status);
    if (trust != OpenStatus::Opened) return trust;
    if (status.st_uid != geteuid()) return OpenStatus::NotOwnMutex;
    if (!(status.st_mode & S_IWGRP)) return trust;
    return NamedEntryMayWrite(descriptor) ? OpenStatus::WritableThroughAcl : OpenStatus::WritableByOwnGroup;
}

OpenStatus RuleOf(int descriptor, const struct stat& status, Rule rule) {
    switch (rule) {
        case Rule::Lock:
            return LockRuleOf(descriptor, status);
        case Rule::RegularFile:
            return S_ISREG(status.st_mode) ? OpenStatus::Opened : OpenStatus::NotRegularFile;
        default:
            return TrustOf(descriptor, status);
    }
}

// A symbolic link (ELOOP) or a FIFO without a reader (ENXIO) is not a region.
OpenStatus StatusOfError(int error) {
    switch (error) {
        case ENOENT:
            return OpenStatus::Missing;
        case ELOOP:
        case ENXIO:
        case EISDIR:
        case ENOTDIR:
            return OpenStatus::NotRegularFile;
        case EACCES:
        case EPERM:
            return OpenStatus::PermissionDenied;
        default:
            return OpenStatus::Failed;
    }
}

constexpr int openFlags = O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;

// The kinds of object a channel never is, as a message names them.
const char* OddKind(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFIFO:
            return "a FIFO, ";
        case S_IFLNK:
            return "a symbolic link, ";
        case S_IFDIR:
            return "a directory, ";
        case S_IFCHR:
        case S_IFBLK:
            return "a device, ";
        case S_IFSOCK:
            return "a socket, ";
        default:
            return "";
    }
}

ObjectCheck Described(OpenStatus outcome, const struct stat& status) {
    char description[128];
    std::snprintf(description, sizeof description, "%sowner uid %u, group %u, mode %04o", OddKind(status.st_mode),
                  static_cast<unsigned>(status.st_uid), static_cast<unsigned>(status.st_gid),
                  static_cast<unsigned>(status.st_mode & 07777));
    return ObjectCheck{outcome, description, false, static_cast<unsigned long long>(status.st_size)};
}

// An open that failed: what the name refers to is told only when it is not a
// regular file, the one case where its kind, owner and mode explain the refusal.
ObjectCheck CheckFailedOpen(const char* name, int error) {
    OpenStatus outcome = StatusOfError(error);
    struct stat status {};
    ObjectCheck check{outcome};
    if (outcome == OpenStatus::NotRegularFile && lstat(ObjectPath(name).c_str(), &status) == 0 &&
        !S_ISREG(status.st_mode))
        check = Described(outcome, status);
    check.error = error;
    return check;
}

void Report(ObjectCheck* check, const ObjectCheck& value) {
    if (check) *check = value;
}

}  // namespace

std::string ObjectPath(const char* name) {
    std::string fullName = SharedObjectName(name);
    if (!SharedPrefixRefusal().empty() || fullName.size() > NAME_MAX) return "";
    return std::string(objectDirectory) + "/" + fullName;
}

ObjectCheck CheckOpenObject(int descriptor, Rule rule) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return ObjectCheck{};
    return Described(RuleOf(descriptor, status, rule), status);
}

// With an ACL the group bits are its mask, which bounds every named entry.
bool PrivateToThisUser(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 && LockRuleOf(descriptor, status) == OpenStatus::Opened &&
           (status.st_mode & 077) == 0;
}

bool WritableBeyond(int descriptor, unsigned mode) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return false;
    if (status.st_mode & (S_IWGRP | S_IWOTH) & ~static_cast<mode_t>(mode)) return true;
    return (status.st_mode & S_IWGRP) && NamedEntryMayWrite(descriptor);
}

// Under a refused name nothing is published.
int OpenShared(const char* name, int flags, ObjectCheck* check, Rule rule) {
    std::string path = ObjectPath(name);
    int descriptor = path.empty() ? -1 : open(path.c_str(), flags | openFlags);
    if (descriptor < 0) {
        Report(check, CheckFailedOpen(name, path.empty() ? ENOENT : errno));
        return -1;
    }
    ObjectCheck trust = CheckOpenObject(descriptor, rule);
    Report(check, trust);
    if (trust.status == OpenStatus::Opened) return descriptor;
    (void)close(descriptor);
    return -1;
}

int CreateShared(const char* name, unsigned mode) {
    std::string path = ObjectPath(name);
    if (path.empty()) {
        errno = EINVAL;
        return -1;
    }
    int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | openFlags, static_cast<mode_t>(mode));
    if (descriptor < 0 || fchmod(descriptor, static_cast<mode_t>(mode)) == 0) return descriptor;
    (void)close(descriptor);
    return -1;
}

}  // namespace posix

}  // namespace platform
