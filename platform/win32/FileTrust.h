#pragma once

#include <windows.h>

#include "platform/Files.h"

// Whom a file or folder may be trusted to come from, read off its security
// descriptor: its owner, and whom its DACL lets change or read it. Used only
// by the platform's own files.
namespace platform::win32 {

// The rights that change a file or a folder's entries, or its permissions;
// and those that read it. Reading a file's permissions is neither.
constexpr ACCESS_MASK fileWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD | WRITE_DAC |
                                        WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK fileUseRights =
    fileWriteRights | FILE_READ_DATA | FILE_READ_EA | FILE_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;

// The facts about trust of a descriptor holding the owner and DACL, for a
// process acting as `thisUser`; the kind of file (regular, folder, link) is
// left to the caller. A descriptor with neither owner nor DACL comes from a
// file system that keeps no security: it is taken as this user's, private.
FileFacts JudgeFile(PSECURITY_DESCRIPTOR descriptor, PSID thisUser);

}  // namespace platform::win32
