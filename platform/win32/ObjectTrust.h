#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/SharedMemory.h"

// Whom a named object of another process may be trusted to come from: its
// owner is this user, SYSTEM or the Administrators group, and its DACL lets
// nobody else write it. Used only by the platform's own files.
namespace platform::win32 {

struct Trust {
    OpenStatus status = OpenStatus::Failed;
    std::string owner;  // the owner's SID as text; empty when the descriptor names none
};

// The rights that change an object of the kind at hand (a mapping's
// SECTION_MAP_WRITE, a mutex's MUTEX_MODIFY_STATE: waiting for a mutex,
// which readers need, is not writing); the rights to take
// ownership or change the DACL, and GENERIC_WRITE and GENERIC_ALL, count as
// writing too.
constexpr ACCESS_MASK mappingWriteRights = SECTION_MAP_WRITE | SECTION_EXTEND_SIZE;
constexpr ACCESS_MASK mutexWriteRights = MUTEX_MODIFY_STATE;

// The decision on a security descriptor holding the object's owner and DACL,
// for a process acting as `thisUser`. A descriptor with neither owner nor
// DACL is one from a system that keeps no security on named objects (Wine
// answers so): nothing there separates users, and the object is used. A
// real Windows always names an owner.
Trust JudgeSecurity(PSECURITY_DESCRIPTOR descriptor, PSID thisUser, ACCESS_MASK writeRights);

// This process's user, as GetTokenInformation gives it (a TOKEN_USER);
// empty when the system does not tell.
std::vector<unsigned char> ProcessUser();

// A SID in its text form ("S-1-5-18"); empty for none.
std::string SidText(PSID sid);

// The same for an open object (opened with READ_CONTROL), read with
// GetSecurityInfo.
Trust TrustOfObject(HANDLE object, ACCESS_MASK writeRights);

}  // namespace platform::win32
