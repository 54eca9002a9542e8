#pragma once

#include <string>

// Reading and writing the files of a rig. Private keys are written owner-only
// and refused, as ssh refuses them, when another user owns them or may use them.
class RigFiles {
public:
    // False, with `error` naming the file, when it cannot be read.
    static bool Read(const std::string& path, std::string& text, std::string& error);
    // Creates `path` (never replaces a file) with `text`; a secret file is
    // made owner-only before anything is written into it.
    static bool Write(const std::string& path, const std::string& text, bool secret, std::string& error);
    // The one check of a private key before it is used: false, with `error`
    // naming the file and its owner or mode, when it is not this user's or
    // the group or other users have any access to it.
    static bool CheckPrivate(const std::string& path, std::string& error);
    static bool Exists(const std::string& path);
};
