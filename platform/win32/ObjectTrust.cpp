#include "platform/win32/ObjectTrust.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace platform::win32 {
namespace {

constexpr ACCESS_MASK alwaysWriting = GENERIC_WRITE | GENERIC_ALL | WRITE_DAC | WRITE_OWNER;

bool IsTrustedSid(PSID sid, PSID thisUser) {
    return EqualSid(sid, thisUser) || IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// What an allow entry for a foreign SID means; Everyone is told apart from a
// named user or group, as "other" bits are told apart from an ACL on Linux.
OpenStatus ForeignWriter(PSID sid) {
    return IsWellKnownSid(sid, WinWorldSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid)
               ? OpenStatus::WritableByOthers
               : OpenStatus::WritableThroughAcl;
}

// Deny entries cannot widen anyone's access, so only allow entries count.
OpenStatus DaclStatus(PACL dacl, PSID thisUser, ACCESS_MASK writeRights) {
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return OpenStatus::Failed;
        auto* header = static_cast<ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = &allowed->SidStart;
        if ((allowed->Mask & (writeRights | alwaysWriting)) && !IsTrustedSid(sid, thisUser)) return ForeignWriter(sid);
    }
    return OpenStatus::Opened;
}

}  // namespace

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !ConvertSidToStringSidA(sid, &text)) return {};
    std::string result(text);
    LocalFree(text);
    return result;
}

std::vector<unsigned char> ProcessUser() {
    HANDLE token = nullptr;
    std::vector<unsigned char> user;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
    DWORD length = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &length);
    user.resize(length);
    if (length == 0 || !GetTokenInformation(token, TokenUser, user.data(), length, &length)) user.clear();
    CloseHandle(token);
    return user;
}

Trust JudgeSecurity(PSECURITY_DESCRIPTOR descriptor, PSID thisUser, ACCESS_MASK writeRights) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return Trust{OpenStatus::Failed, {}};
    if (!owner && !present) return Trust{OpenStatus::Opened, {}};
    Trust trust{OpenStatus::Opened, SidText(owner)};
    if (!owner || !IsTrustedSid(owner, thisUser)) trust.status = OpenStatus::ForeignOwner;
    // No DACL at all, or a null one, grants everyone every right.
    else if (!present || !dacl)
        trust.status = OpenStatus::WritableByOthers;
    else
        trust.status = DaclStatus(dacl, thisUser, writeRights);
    return trust;
}

Trust TrustOfObject(HANDLE object, ACCESS_MASK writeRights) {
    static const std::vector<unsigned char> user = ProcessUser();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() ||
        GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return Trust{OpenStatus::Failed, {}};
    PSID thisUser = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    Trust trust = JudgeSecurity(descriptor, thisUser, writeRights);
    LocalFree(descriptor);
    return trust;
}

}  // namespace platform::win32
