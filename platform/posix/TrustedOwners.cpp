#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/posix/SharedObjects.h"

// The administrator's list of users whose shared objects are trusted like
// root's: a dedicated server account, say. It widens whom every program of
// ours trusts, so only a file nobody but root may have written counts.
namespace platform {

namespace {

constexpr char defaultPath[] = "/etc/lumivex/trusted-owners";
constexpr std::size_t maxFileSize = 64 * 1024;

struct TrustedOwners {
    std::vector<uid_t> owners;
    std::vector<std::string> warnings;
};

std::string Path() {
    const char* path = std::getenv("LUMIVEX_TRUSTED_OWNERS");
    return path && *path ? path : defaultPath;
}

std::string Described(const struct stat& status) {
    char text[96];
    std::snprintf(text, sizeof text, "owner uid %u, mode %04o", static_cast<unsigned>(status.st_uid),
                  static_cast<unsigned>(status.st_mode & 07777));
    return text;
}

// Empty when the file may be used; otherwise why it is ignored.
std::string FileRefusal(int descriptor) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return "cannot be examined";
    if (!S_ISREG(status.st_mode)) return "ignored: not a regular file (" + Described(status) + ")";
    if (status.st_uid != 0 || (status.st_mode & 022))
        return "ignored: someone but root may write it (" + Described(status) + "); make it root's, mode 0644";
    return "";
}

std::string ReadAll(int descriptor) {
    std::string text;
    char buffer[4096];
    ssize_t length = 0;
    while (text.size() < maxFileSize && (length = read(descriptor, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(length));
    return text;
}

bool UserId(const std::string& name, uid_t& uid) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
    uid = found->pw_uid;
    return true;
}

std::string Trimmed(std::string line) {
    line = line.substr(0, line.find('#'));
    const char* blanks = " \t\r";
    std::size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

void ReadNames(const std::string& path, const std::string& text, TrustedOwners& trusted) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::string name = Trimmed(line);
        uid_t uid = 0;
        if (name.empty()) continue;
        if (UserId(name, uid))
            trusted.owners.push_back(uid);
        else
            trusted.warnings.push_back(path + ": no such user \"" + name + "\"; the name is skipped");
    }
}

// A missing file trusts nobody and is no fault.
TrustedOwners Load() {
    TrustedOwners trusted;
    std::string path = Path();
    int descriptor = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0 && errno == ENOENT) return trusted;
    std::string refusal = descriptor < 0 ? (errno == ELOOP ? "ignored: a symbolic link" : "ignored: cannot be opened")
                                         : FileRefusal(descriptor);
    if (refusal.empty())
        ReadNames(path, ReadAll(descriptor), trusted);
    else
        trusted.warnings.push_back(path + ": " + refusal);
    if (descriptor >= 0) (void)close(descriptor);
    return trusted;
}

const TrustedOwners& Loaded() {
    static const TrustedOwners trusted = Load();
    return trusted;
}

}  // namespace

const std::vector<std::string>& TrustedOwnerWarnings() { return Loaded().warnings; }

namespace posix {

bool IsTrustedOwner(unsigned owner) {
    const std::vector<uid_t>& owners = Loaded().owners;
    return std::find(owners.begin(), owners.end(), owner) != owners.end();
}

}  // namespace posix

}  // namespace platform
