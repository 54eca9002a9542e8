#include "platform/Folder.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <vector>

#include "platform/win32/FileTrust.h"
#include "platform/win32/ObjectTrust.h"

#include "platform/win32/SystemText.h"

namespace platform {

using win32::SystemText;

// The folder is held without sharing deletion, so nobody can rename or
// remove it, or put another in its place, while it is held: its path keeps
// naming the folder that was opened and looked at.
struct Folder::Held {
    Held(HANDLE handle, std::wstring path) : handle(handle), path(std::move(path)) {}
    ~Held() { CloseHandle(handle); }
    const HANDLE handle;
    const std::wstring path;
};

namespace {

constexpr DWORD anyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD noFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Words for the failures a caller can act on; the system's own text otherwise.
bool Failed(std::string& reason, DWORD error = GetLastError()) {
    const bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    reason = exists ? "it exists already" : error == ERROR_DIRECTORY ? "it is not a folder" : SystemText(error);
    return false;
}

bool Refused(std::string& reason, const char* why) {
    reason = why;
    return false;
}

// A name in a folder, never a path that leads elsewhere.
bool PlainName(const std::string& name) {
    return !name.empty() && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

std::wstring PathIn(const Folder::Held* folder, const std::string& name) {
    const std::wstring base = folder ? folder->path : L".";
    return name == "." ? base : base + L"\\" + Wide(name);
}

PSID ThisUserSid() {
    static const std::vector<unsigned char> user = win32::ProcessUser();
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

// What an open file or folder is, and whom it may be trusted to come from.
bool FactsOf(HANDLE handle, FileFacts& facts) {
    BY_HANDLE_FILE_INFORMATION information{};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!GetFileInformationByHandle(handle, &information)) return false;
    const DWORD error = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS || !ThisUserSid()) {
        SetLastError(error != ERROR_SUCCESS ? error : ERROR_NO_TOKEN);
        return false;
    }
    facts = win32::JudgeFile(descriptor, ThisUserSid());
    LocalFree(descriptor);
    const DWORD attributes = information.dwFileAttributes;
    facts.link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    facts.folder = !facts.link && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    facts.regular = !facts.link && !facts.folder && GetFileType(handle) == FILE_TYPE_DISK;
    return true;
}

// Opens without following a link; the handle is closed on every failure.
HANDLE OpenEntry(const std::wstring& path, DWORD access, DWORD share, FileFacts& facts, std::string& reason) {
    HANDLE handle = CreateFileW(path.c_str(), access | READ_CONTROL | FILE_READ_ATTRIBUTES, share, nullptr,
                                OPEN_EXISTING, noFollow, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failed(reason), handle;
    if (FactsOf(handle, facts) && !facts.link) return handle;
    if (facts.link)
        reason = "it is a symbolic link";
    else
        Failed(reason);
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
}

// Who may use what is made: the owner alone, or everyone to read as well;
// nothing is inherited from the folder, so the folder cannot widen it.
class NewSecurity {
public:
    NewSecurity(unsigned mode, bool folder) {
        const DWORD inherit = folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
        PSID user = ThisUserSid();
        DWORD everyoneSize = SECURITY_MAX_SID_SIZE;
        CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize);
        acl.resize(sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE));
        PACL list = reinterpret_cast<PACL>(acl.data());
        valid =
            user && InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
            AddAccessAllowedAceEx(list, ACL_REVISION, inherit, FILE_ALL_ACCESS, user) &&
            ((mode & 077) == 0 || AddAccessAllowedAceEx(list, ACL_REVISION, inherit, FILE_GENERIC_READ, everyone)) &&
            InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorOwner(&descriptor, user, FALSE) &&
            SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
            SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        attributes = SECURITY_ATTRIBUTES{sizeof attributes, &descriptor, FALSE};
    }
    SECURITY_ATTRIBUTES* Attributes() { return valid ? &attributes : nullptr; }

private:
    bool valid = false;
    std::vector<unsigned char> acl;
    unsigned char everyone[SECURITY_MAX_SID_SIZE] = {};
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
};

// Written through to the disk: a key or a record that a crash cuts short is lost.
bool WriteAll(HANDLE file, const std::string& text, std::string& reason) {
    for (size_t done = 0; done < text.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
        DWORD size = 0;
        if (!WriteFile(file, text.data() + done, chunk, &size, nullptr)) return Failed(reason);
        if (size == 0) return Failed(reason, ERROR_WRITE_FAULT);  // a file that takes nothing would be asked forever
        done += size;
    }
    return FlushFileBuffers(file) || Failed(reason);
}

bool ReadAll(HANDLE file, std::string& text, std::string& reason) {
    text.clear();
    char buffer[4096];
    for (;;) {
        DWORD size = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &size, nullptr)) return Failed(reason);
        if (size == 0) return true;
        text.append(buffer, size);
    }
}

bool OpenFolder(const std::wstring& path, bool throughLink, std::unique_ptr<Folder::Held>& held, FileFacts& facts,
                std::string& reason) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                throughLink ? FILE_FLAG_BACKUP_SEMANTICS : noFollow, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failed(reason);
    auto fresh = std::make_unique<Folder::Held>(handle, path);
    FileFacts found;
    if (!FactsOf(handle, found)) return Failed(reason);
    if (found.link) return Refused(reason, "it is a symbolic link");
    if (!found.folder) return Refused(reason, "it is not a folder");
    held = std::move(fresh);
    facts = found;
    return true;
}

bool MakeFile(const std::wstring& path, const std::string& text, unsigned mode, std::string& reason) {
    NewSecurity security(mode, false);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, security.Attributes(), CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failed(reason);
    const bool written = security.Attributes() ? WriteAll(file, text, reason) : Failed(reason);
    CloseHandle(file);
    // A file cut short (a full disk) would refuse every later try as existing.
    if (!written) DeleteFileW(path.c_str());
    return written;
}

}  // namespace

Folder::Folder() = default;
Folder::~Folder() = default;
Folder::Folder(Folder&& other) noexcept = default;
Folder& Folder::operator=(Folder&& other) noexcept = default;

bool Folder::Open(const std::string& path, std::string& reason, bool throughLink) {
    return OpenFolder(Wide(path), throughLink, held, facts, reason);
}

bool Folder::OpenIn(const Folder& parent, const std::string& name, std::string& reason) {
    if (name != "." && !PlainName(name)) return Refused(reason, "it is not a plain name");
    return OpenFolder(PathIn(parent.held.get(), name), false, held, facts, reason);
}

bool Folder::MakeIn(const Folder& parent, const std::string& name, std::string& reason) {
    if (!PlainName(name)) return Refused(reason, "it is not a plain name");
    NewSecurity security(0700, true);
    if (!security.Attributes()) return Failed(reason);
    if (!CreateDirectoryW(PathIn(parent.held.get(), name).c_str(), security.Attributes())) return Failed(reason);
    return OpenIn(parent, name, reason);
}

bool Folder::LookAt(const std::string& name, FileFacts& found) const {
    if (!PlainName(name)) return false;
    HANDLE handle = CreateFileW(PathIn(held.get(), name).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, anyShare,
                                nullptr, OPEN_EXISTING, noFollow, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = FactsOf(handle, found);
    CloseHandle(handle);
    return known;
}

bool Folder::Read(const std::string& name, std::string& text, FileFacts& found, std::string& reason) const {
    if (!PlainName(name)) return Refused(reason, "it is not a plain name");
    HANDLE file = OpenEntry(PathIn(held.get(), name), GENERIC_READ, FILE_SHARE_READ, found, reason);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool read = found.regular ? ReadAll(file, text, reason) : Refused(reason, "it is not a regular file");
    CloseHandle(file);
    return read;
}

bool Folder::Create(const std::string& name, const std::string& text, unsigned mode, std::string& reason) const {
    if (!PlainName(name)) return Refused(reason, "it is not a plain name");
    return MakeFile(PathIn(held.get(), name), text, mode, reason);
}

bool Folder::Append(const std::string& name, const std::string& text, std::string& reason) const {
    if (!PlainName(name)) return Refused(reason, "it is not a plain name");
    FileFacts found;
    HANDLE file = OpenEntry(PathIn(held.get(), name), GENERIC_WRITE, FILE_SHARE_READ, found, reason);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    // Written at the end, where the file was cut back to on failure.
    const bool regular =
        found.regular && GetFileSizeEx(file, &size) && SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    const bool written = regular ? WriteAll(file, text, reason) : Refused(reason, "it is not a regular file");
    // Half a line at the end would make the whole file unreadable to its parser.
    if (regular && !written && !(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file)))
        reason += "; its end could not be cut back";
    CloseHandle(file);
    return written;
}

bool Folder::Replace(const std::string& name, const std::string& text, unsigned mode, std::string& reason) const {
    if (!PlainName(name)) return Refused(reason, "it is not a plain name");
    const std::wstring fresh = PathIn(held.get(), "." + name + ".new"), target = PathIn(held.get(), name);
    DeleteFileW(fresh.c_str());  // left by a run that was stopped half way
    if (!MakeFile(fresh, text, mode, reason)) return false;
    if (MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    Failed(reason);
    DeleteFileW(fresh.c_str());
    return false;
}

bool Folder::Remove(const std::string& name) const {
    FileFacts found;
    if (!LookAt(name, found)) return false;
    const std::wstring path = PathIn(held.get(), name);
    return found.folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
}

}  // namespace platform
