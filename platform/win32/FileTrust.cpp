#include "platform/win32/FileTrust.h"

#include <string>

#include "platform/win32/ObjectTrust.h"

namespace platform::win32 {
namespace {

bool IsSystem(PSID sid) {
    return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// The owner's rights entry stands for whoever owns the file, trusted or not.
bool IsOwnerOrSystem(PSID sid, PSID owner) {
    return EqualSid(sid, owner) || IsSystem(sid) || IsWellKnownSid(sid, WinCreatorOwnerRightsSid);
}

// Deny entries cannot widen anyone's access, and inherit-only entries are for
// what is made inside a folder, not for the folder itself.
void JudgeDacl(PACL dacl, PSID owner, FileFacts& facts) {
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) continue;
        auto* header = static_cast<ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = &allowed->SidStart;
        if (IsOwnerOrSystem(sid, owner)) continue;
        const bool writes = allowed->Mask & fileWriteRights, uses = allowed->Mask & fileUseRights;
        if (uses && !facts.othersMayUse) facts.described += ", " + SidText(sid) + (writes ? " may write" : " may read");
        facts.othersMayWrite = facts.othersMayWrite || writes;
        facts.othersMayUse = facts.othersMayUse || uses;
    }
}

}  // namespace

FileFacts JudgeFile(PSECURITY_DESCRIPTOR descriptor, PSID thisUser) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    FileFacts facts;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        facts.othersMayWrite = facts.othersMayUse = true;
        facts.described = "security unreadable";
        return facts;
    }
    if (!owner && !present) {
        facts.ownedByThisUser = true;
        facts.described = "no security kept";
        return facts;
    }
    facts.ownedByThisUser = owner && EqualSid(owner, thisUser);
    facts.ownedBySystem = owner && IsSystem(owner);
    facts.described = owner ? "owner " + SidText(owner) : std::string("no owner");
    // No DACL at all, or a null one, grants everyone every right.
    if (!present || !dacl) {
        facts.othersMayWrite = facts.othersMayUse = true;
        facts.described += ", no access control";
    } else if (owner) {
        JudgeDacl(dacl, owner, facts);
    }
    return facts;
}

}  // namespace platform::win32
