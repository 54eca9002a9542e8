#include "tools/common/OutputFileRule.h"

#include <cerrno>
#include <cstring>

#include "platform/OutputFile.h"
#include "text/Warning.h"

namespace {

constexpr int refusedStatus = 2, failedStatus = 1;

std::string Remedy(const std::string& reason) {
    return reason == "it is a symbolic link" ? "; name the file itself"
                                             : "; name another file, or add --force to replace it";
}

}  // namespace

CLI::Option* AddForceFlag(CLI::App& app, bool& force, const std::string& what) {
    return app.add_flag("--force", force, "let " + what + " replace a file that exists (never a symbolic link)");
}

int OpenOutput(const std::string& path, bool force, int& status) {
    bool refused = false;
    std::string reason;
    int descriptor = platform::OpenOutputFile(path, force, refused, reason);
    if (descriptor >= 0) return descriptor;
    status = PrintError("cannot write " + path + ": " + reason + (refused ? Remedy(reason) : ""),
                        refused ? refusedStatus : failedStatus);
    return -1;
}

std::FILE* OpenOutputStream(const std::string& path, bool force, int& status) {
    int descriptor = OpenOutput(path, force, status);
    if (descriptor < 0) return nullptr;
    std::FILE* stream = platform::StreamOver(descriptor);
    if (!stream) status = PrintError("cannot write " + path + ": " + std::strerror(errno), failedStatus);
    return stream;
}
