#pragma once

#include <cstdio>
#include <string>

// A file that a program makes for its user (a recording, a picture). The
// name's last step is never followed when it is a symbolic link, so that a
// link planted in a shared folder cannot send the writing into a file of
// another user.
namespace platform {

// Opens `path` to write: a file made new, or, when `replace`, one that exists
// emptied. A descriptor of the C library (for zlib and stdio), or -1 with
// `reason`; `refused` tells that the name itself was refused (it exists, and
// replacing was not asked for, or it is a symbolic link) rather than the
// system failing.
int OpenOutputFile(const std::string& path, bool replace, bool& refused, std::string& reason);

// A stdio stream that writes `descriptor` and owns it; null, with the
// descriptor closed, when none can be made.
std::FILE* StreamOver(int descriptor);

}  // namespace platform
