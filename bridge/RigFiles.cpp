#include "bridge/RigFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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

bool RigFiles::CheckPrivate(const std::string& path, std::string& error) {
    std::error_code failure;
    fs::file_status status = fs::status(path, failure);
    if (failure || !fs::is_regular_file(status)) {
        error = path + ": no such private key";
        return false;
    }
    if ((status.permissions() & (fs::perms::group_all | fs::perms::others_all)) == fs::perms::none) return true;
    error = path + ": other users may read this private key; make it owner-only (chmod 600)";
    return false;
}

bool RigFiles::Exists(const std::string& path) {
    std::error_code failure;
    return fs::exists(path, failure);
}
