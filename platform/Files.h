#pragma once

#include <string>

// Files as the system describes them: what one is, and whom it may be trusted
// to come from, in the same terms on every system.
namespace platform {

struct FileFacts {
    bool regular = false;
    bool folder = false;
    bool link = false;
    bool ownedByThisUser = false;
    bool ownedBySystem = false;     // root; SYSTEM or the Administrators group
    bool othersMayWrite = false;    // someone but its owner and the system may change it
    bool othersMayUse = false;      // someone but its owner and the system may read or change it
    bool keepsOthersApart = false;  // a folder where others may add, but remove only their own (sticky)
    std::string described;          // owner and permissions in the system's terms, for a refusal
};

// This process's user in the system's terms ("uid 1000").
std::string ThisUser();

// How to make a file or folder safe again, in the system's terms.
struct FileAdvice {
    const char* system;       // the accounts trusted besides this user
    const char* ownerOnly;    // nobody else may use it at all
    const char* ownerWrites;  // nobody else may change it
};
const FileAdvice& Advice();

}  // namespace platform
