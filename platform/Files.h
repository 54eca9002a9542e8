#pragma once

#include <string>

// Ordinary files as the system describes them: who owns one and who may use it.
namespace platform {

struct FileFacts {
    bool regular = false;
    unsigned owner = 0;
    unsigned mode = 0;  // permission bits
};

// What the system says of the file `path` names, following links; false when
// there is no such file or it cannot be looked at.
bool LookAtFile(const std::string& path, FileFacts& facts);

// The user this process acts as, whose files it may take as its own.
unsigned ThisUser();

}  // namespace platform
