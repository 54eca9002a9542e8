#pragma once

// Files as the system describes them: what one is, who owns it and who may use it.
namespace platform {

struct FileFacts {
    bool regular = false;
    bool folder = false;
    bool link = false;
    unsigned owner = 0;
    unsigned mode = 0;  // permission bits, with the sticky bit
};

// The user this process acts as, whose files it may take as its own.
unsigned ThisUser();

}  // namespace platform
