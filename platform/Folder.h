#pragma once

#include <memory>
#include <string>

#include "platform/Files.h"

namespace platform {

// A folder held open. Every name is looked up in the folder that was opened
// and looked at, even when that folder is renamed or another put in its place
// afterwards, and never through a symbolic link. Failures give the reason in
// words ("it is a symbolic link", "it exists already", the system's text).
class Folder {
public:
    Folder();
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Opens the folder `path` names; a link as its last step is refused
    // unless `throughLink`.
    bool Open(const std::string& path, std::string& reason, bool throughLink = false);
    // Opens `name` in `parent` ("." opens `parent` once more).
    bool OpenIn(const Folder& parent, const std::string& name, std::string& reason);
    // Makes `name` in `parent`, owner-only, and opens it; fails when the name exists.
    bool MakeIn(const Folder& parent, const std::string& name, std::string& reason);
    // What the open folder is.
    const FileFacts& Facts() const { return facts; }

    // What `name` is, without following a link; false when there is no such name.
    bool LookAt(const std::string& name, FileFacts& facts) const;
    // Reads `name`, a regular file, never through a link; `facts` are of the file read.
    bool Read(const std::string& name, std::string& text, FileFacts& facts, std::string& reason) const;
    // Makes `name` with `text` at `mode` (narrowed by the umask only), never
    // replacing anything: no moment exists at which it is open to more users.
    // `mode` is in POSIX's permission bits; where files have ACLs instead, no
    // group or other bits make it the owner's alone, any make it readable by all.
    // A failed write (a full disk) removes the file again.
    bool Create(const std::string& name, const std::string& text, unsigned mode, std::string& reason) const;
    // Puts `text` at the end of the regular file `name`; a failed write cuts
    // the file back to its length before.
    bool Append(const std::string& name, const std::string& text, std::string& reason) const;
    // Replaces `name` by a new file with `text` in one step, so that a reader
    // sees the old file or the new one, never a part.
    bool Replace(const std::string& name, const std::string& text, unsigned mode, std::string& reason) const;
    // Opens `name` to write and gives its descriptor, or -1: a file made new,
    // or, when `replace`, one that exists emptied; never a link.
    int OpenToWrite(const std::string& name, bool replace, std::string& reason) const;
    // Removes the file or empty folder `name`.
    bool Remove(const std::string& name) const;

    // What the system holds open: a descriptor, or a handle and the path it
    // was opened by; each platform's half says.
    struct Held;

private:
    std::unique_ptr<Held> held;
    FileFacts facts;
};

}  // namespace platform
