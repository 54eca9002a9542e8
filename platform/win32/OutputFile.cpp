#include "platform/OutputFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

std::string SystemText(DWORD error) {
    char text[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.'))
        text[--length] = '\0';
    return length > 0 ? text : "error " + std::to_string(error);
}

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The look comes before the open only to tell the user why.
bool Refused(const std::string& path, bool replace, std::string& reason) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (replace && !IsLink(attributes))) return false;
    reason = IsLink(attributes) ? "it is a symbolic link" : "it exists already";
    return true;
}

// The link itself is opened, never what it points to; one put in place
// after the look is refused here.
HANDLE Open(const std::string& path, bool replace, std::string& reason) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, replace ? OPEN_ALWAYS : CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return reason = SystemText(GetLastError()), nullptr;
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool looked = GetFileInformationByHandle(file, &facts) != 0;
    if (looked && !IsLink(facts.dwFileAttributes) && SetEndOfFile(file)) return file;
    reason = looked && IsLink(facts.dwFileAttributes) ? "it is a symbolic link" : SystemText(GetLastError());
    CloseHandle(file);
    return nullptr;
}

}  // namespace

int OpenOutputFile(const std::string& path, bool replace, bool& refused, std::string& reason) {
    refused = Refused(path, replace, reason);
    HANDLE file = refused ? nullptr : Open(path, replace, reason);
    if (!file) return -1;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        reason = "no descriptor for the file";
        CloseHandle(file);
    }
    return descriptor;
}

std::FILE* StreamOver(int descriptor) {
    std::FILE* stream = _fdopen(descriptor, "wb");
    if (!stream) _close(descriptor);
    return stream;
}

}  // namespace platform
