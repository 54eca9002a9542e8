#pragma once

#include <string>
#include <vector>

#include "platform/Folder.h"

// An authority's or a member's folder, held open and trusted as ssh trusts
// ~/.ssh: the folder and every file read from it belong to this user or the
// system (root; SYSTEM or Administrators), nobody else may write them, by
// mode or ACL, and no name is followed through a link. A private key must be
// this user's, and nobody else's to use at all. Files are created with their
// final permissions and never written when they exist. A refusal names the
// path, its owner and its permissions.
class RigFolder {
public:
    // Opens an existing folder.
    bool Open(const std::string& path, std::string& error);
    // Opens `path`, making it owner-only when missing. It is made only where
    // nobody else can remove or rename it: in a folder of this user or root
    // that nobody else may write, or that is sticky (as /tmp is).
    bool OpenOrMake(const std::string& path, std::string& error);
    // Opens the folder `name` in `parent`.
    bool OpenIn(const RigFolder& parent, const std::string& name, std::string& error);
    // Makes `name` in `parent`, owner-only, and opens it; fails when it exists.
    bool MakeIn(const RigFolder& parent, const std::string& name, std::string& error);

    const std::string& Path() const { return path; }
    std::string PathOf(const std::string& name) const;
    bool Has(const std::string& name) const;

    // Reads a file of the folder; `secret` for a private key.
    bool Read(const std::string& name, bool secret, std::string& text, std::string& error) const;
    // Creates a file, a secret one owner-only from the start.
    bool Write(const std::string& name, const std::string& text, bool secret, std::string& error);
    // Replaces a public file in one step.
    bool Replace(const std::string& name, const std::string& text, std::string& error) const;
    // Adds to the end of a file, which Read has looked at.
    bool Append(const std::string& name, const std::string& text, std::string& error) const;
    // Removes the files Write made, and the folder when this object made it.
    void Undo();

private:
    bool Adopt(const std::string& where, bool opened, const std::string& reason, std::string& error);

    std::string path;
    platform::Folder folder;
    platform::Folder parent;  // open when this object made the folder
    std::string name;         // the folder's name in `parent`
    std::vector<std::string> written;
};
