#include "platform/OutputFile.h"

#include <cstdio>
#include <unistd.h>

#include "platform/Folder.h"

namespace platform {

namespace {

// The folder that holds `path` (".": none named) and the name in it.
void Split(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    name = path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// The look comes before the open only to tell the user why: the open itself
// refuses a name that appears in between.
bool Refused(const Folder& folder, const std::string& name, bool replace, std::string& reason) {
    FileFacts facts;
    if (!folder.LookAt(name, facts) || (replace && !facts.link)) return false;
    reason = facts.link ? "it is a symbolic link" : "it exists already";
    return true;
}

}  // namespace

int OpenOutputFile(const std::string& path, bool replace, bool& refused, std::string& reason) {
    std::string folderPath, name;
    Split(path, folderPath, name);
    Folder folder;
    // The folders on the way are the user's choice, links among them too.
    if (!folder.Open(folderPath, reason, true)) return refused = false, -1;
    refused = Refused(folder, name, replace, reason);
    return refused ? -1 : folder.OpenToWrite(name, replace, reason);
}

std::FILE* StreamOver(int descriptor) {
    std::FILE* stream = fdopen(descriptor, "wb");
    if (!stream) (void)close(descriptor);
    return stream;
}

}  // namespace platform
