#include "platform/Folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Words for the failures a caller can act on; the system's own text otherwise.
std::string Reason(int error) {
    switch (error) {
        case ELOOP:
            return "it is a symbolic link";
        case ENOTDIR:
            return "it is not a folder";
        case EEXIST:
            return "it exists already";
        default:
            return std::strerror(error);
    }
}

bool Failed(std::string& reason) {
    reason = Reason(errno);
    return false;
}

// The group bits of a file with an ACL are the ACL's mask, so they tell of
// every named user and group too.
FileFacts FactsOf(const struct stat& status) {
    const unsigned mode = status.st_mode & 07777;
    char described[48];
    std::snprintf(described, sizeof described, "owner uid %u, mode %04o", static_cast<unsigned>(status.st_uid), mode);
    return FileFacts{S_ISREG(status.st_mode),    S_ISDIR(status.st_mode), S_ISLNK(status.st_mode),
                     status.st_uid == geteuid(), status.st_uid == 0,      (mode & 022) != 0,
                     (mode & 077) != 0,          (mode & 01000) != 0,     described};
}

// A name with a slash at its end is followed even when it is a link.
std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// O_DIRECTORY meets a link before O_NOFOLLOW does, and tells only that it is
// not a folder.
bool FailedToOpen(int at, const std::string& name, std::string& reason) {
    const int error = errno;
    struct stat status {};
    const bool link = fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
    reason = Reason(error == ENOTDIR && link ? ELOOP : error);
    return false;
}

// Written through to the disk: a key or a record that a crash cuts short is lost.
bool WriteAll(int file, const std::string& text, std::string& reason) {
    for (size_t done = 0; done < text.size();) {
        ssize_t size = write(file, text.data() + done, text.size() - done);
        if (size < 0 && errno != EINTR) return Failed(reason);
        if (size == 0) {  // a file that takes nothing would be asked forever
            errno = EIO;
            return Failed(reason);
        }
        if (size > 0) done += static_cast<size_t>(size);
    }
    if (fsync(file) == 0) return true;
    return Failed(reason);
}

bool ReadAll(int file, std::string& text) {
    text.clear();
    char buffer[4096];
    for (;;) {
        ssize_t size = read(file, buffer, sizeof buffer);
        if (size == 0) return true;
        if (size < 0 && errno != EINTR) return false;
        if (size > 0) text.append(buffer, static_cast<size_t>(size));
    }
}

}  // namespace

struct Folder::Held {
    explicit Held(int descriptor) : descriptor(descriptor) {}
    ~Held() { (void)close(descriptor); }
    const int descriptor;
};

namespace {

int DescriptorOf(const std::unique_ptr<Folder::Held>& held) { return held ? held->descriptor : -1; }

bool OpenAt(int at, const std::string& name, int flags, std::unique_ptr<Folder::Held>& held, FileFacts& facts,
            std::string& reason) {
    const int opened = openat(at, name.c_str(), flags);
    if (opened < 0) return FailedToOpen(at, name, reason);
    auto fresh = std::make_unique<Folder::Held>(opened);
    struct stat status {};
    if (fstat(opened, &status) != 0) return Failed(reason);
    held = std::move(fresh);
    facts = FactsOf(status);
    return true;
}

}  // namespace

Folder::Folder() = default;
Folder::~Folder() = default;
Folder::Folder(Folder&& other) noexcept = default;
Folder& Folder::operator=(Folder&& other) noexcept = default;

bool Folder::Open(const std::string& path, std::string& reason, bool throughLink) {
    return OpenAt(AT_FDCWD, WithoutTrailingSlashes(path), throughLink ? folderFlags & ~O_NOFOLLOW : folderFlags, held,
                  facts, reason);
}

bool Folder::OpenIn(const Folder& parent, const std::string& name, std::string& reason) {
    return OpenAt(DescriptorOf(parent.held), name, folderFlags, held, facts, reason);
}

bool Folder::MakeIn(const Folder& parent, const std::string& name, std::string& reason) {
    if (mkdirat(DescriptorOf(parent.held), name.c_str(), 0700) != 0) return Failed(reason);
    if (!OpenIn(parent, name, reason)) return false;
    // The umask may have taken a right the owner needs; it can only take
    // rights away, so the folder was never open to others.
    struct stat status {};
    if (fchmod(DescriptorOf(held), 0700) != 0 || fstat(DescriptorOf(held), &status) != 0) return Failed(reason);
    facts = FactsOf(status);
    return true;
}

bool Folder::LookAt(const std::string& name, FileFacts& found) const {
    struct stat status {};
    if (fstatat(DescriptorOf(held), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
    found = FactsOf(status);
    return true;
}

bool Folder::Read(const std::string& name, std::string& text, FileFacts& found, std::string& reason) const {
    // Not blocking: a FIFO put in a file's place would hold the open.
    int file = openat(DescriptorOf(held), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return Failed(reason);
    struct stat status {};
    const bool looked = fstat(file, &status) == 0;
    found = FactsOf(status);
    const bool read = looked && found.regular && ReadAll(file, text);
    if (!read) reason = looked && !found.regular ? "it is not a regular file" : Reason(errno);
    (void)close(file);
    return read;
}

bool Folder::Create(const std::string& name, const std::string& text, unsigned mode, std::string& reason) const {
    int file = openat(DescriptorOf(held), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      static_cast<mode_t>(mode));
    if (file < 0) return Failed(reason);
    bool written = WriteAll(file, text, reason);
    (void)close(file);
    // A file cut short (a full disk) would be taken for a whole one, and it
    // would refuse every later try to create it.
    if (!written) (void)unlinkat(DescriptorOf(held), name.c_str(), 0);
    return written;
}

bool Folder::Append(const std::string& name, const std::string& text, std::string& reason) const {
    int file = openat(DescriptorOf(held), name.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return Failed(reason);
    struct stat status {};
    bool regular = fstat(file, &status) == 0 && S_ISREG(status.st_mode);
    if (!regular) reason = "it is not a regular file";
    bool written = regular && WriteAll(file, text, reason);
    // Half a line at the end would make the whole file unreadable to its parser.
    if (regular && !written && ftruncate(file, status.st_size) != 0) reason += "; its end could not be cut back";
    (void)close(file);
    return written;
}

bool Folder::Replace(const std::string& name, const std::string& text, unsigned mode, std::string& reason) const {
    const std::string fresh = "." + name + ".new";
    (void)unlinkat(DescriptorOf(held), fresh.c_str(), 0);  // left by a run that was stopped half way
    if (!Create(fresh, text, mode, reason)) return false;
    if (renameat(DescriptorOf(held), fresh.c_str(), DescriptorOf(held), name.c_str()) == 0) return true;
    Failed(reason);
    (void)unlinkat(DescriptorOf(held), fresh.c_str(), 0);
    return false;
}

// Not blocking: a FIFO put in the file's place would hold the open; its
// writes wait again afterwards, as a file's do.
int Folder::OpenToWrite(const std::string& name, bool replace, std::string& reason) const {
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
    int file = openat(DescriptorOf(held), name.c_str(), flags, 0666);
    if (file < 0) return Failed(reason), -1;
    if (fcntl(file, F_SETFL, 0) == 0) return file;
    Failed(reason);
    (void)close(file);
    return -1;
}

bool Folder::Remove(const std::string& name) const {
    FileFacts found;
    return LookAt(name, found) && unlinkat(DescriptorOf(held), name.c_str(), found.folder ? AT_REMOVEDIR : 0) == 0;
}

}  // namespace platform
