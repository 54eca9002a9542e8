#include "bridge/RigFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Files.h"

namespace fs = std::filesystem;

bool RigFiles::Read(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (in) content << in.rdbuf();
    if (!in) {
        error = path + ": cannot read it";
        return false;
    }
    text = content.str();
    return true;
}

bool RigFiles::Write(const std::string& path, const std::string& text, bool secret, std::string& error) {
    if (Exists(path)) {
        error = path + ": exists already; not replaced";
        return false;
    }
    std::ofstream out(path, std::ios::binary);
    std::error_code failure;
    if (out && secret) fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, failure);
    if (out && !failure && out << text && out.flush()) return true;
    error = path + ": cannot write it";
    return false;
}

// As ssh does, a key is trusted only when it is this user's own and nobody
// else may touch it: a key another user owns or may read is known to them.
bool RigFiles::CheckPrivate(const std::string& path, std::string& error) {
    platform::FileFacts facts;
    if (!platform::LookAtFile(path, facts) || !facts.regular) {
        error = path + ": no such private key";
        return false;
    }
    char details[96];
    if (facts.owner != platform::ThisUser()) {
        std::snprintf(details, sizeof details, ": this private key belongs to uid %u, not to this user (uid %u)",
                      facts.owner, platform::ThisUser());
        error = path + details;
        return false;
    }
    if ((facts.mode & 077) == 0) return true;
    std::snprintf(details, sizeof details, ": other users may use this private key (mode %04o); make it owner-only",
                  facts.mode);
    error = path + details + " (chmod 600)";
    return false;
}

bool RigFiles::Exists(const std::string& path) {
    std::error_code failure;
    return fs::exists(path, failure);
}
