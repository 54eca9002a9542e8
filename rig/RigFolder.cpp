#include "rig/RigFolder.h"

#include <filesystem>

namespace {

using platform::FileFacts;

constexpr unsigned publicMode = 0644;
constexpr unsigned secretMode = 0600;

// What a file or folder is used as: each use has its own rules.
enum class Use { Public, Secret, Parent };

std::string ThisUser() { return "this user (" + platform::ThisUser() + ")"; }

struct Rule {
    bool (*breaks)(const FileFacts& facts, Use use);
    std::string (*says)();
};

// The first rule broken is the one told.
const Rule rules[] = {
    {[](const FileFacts& facts, Use use) { return use == Use::Secret && !facts.ownedByThisUser; },
     [] { return "this private key is not the key of " + ThisUser(); }},
    {[](const FileFacts& facts, Use) { return !facts.ownedByThisUser && !facts.ownedBySystem; },
     [] { return "it belongs to neither " + ThisUser() + " nor " + platform::Advice().system; }},
    {[](const FileFacts& facts, Use use) { return use == Use::Secret && facts.othersMayUse; },
     [] { return std::string("other users may use this private key; ") + platform::Advice().ownerOnly; }},
    {[](const FileFacts& facts, Use use) {
         return use == Use::Parent && facts.othersMayWrite && !facts.keepsOthersApart;
     },
     [] {
         return std::string(
             "other users may write this folder and it is not sticky, so they could replace "
             "what is made in it");
     }},
    {[](const FileFacts& facts, Use use) { return use == Use::Public && facts.othersMayWrite; },
     [] { return std::string("other users may write it; ") + platform::Advice().ownerWrites; }},
};

bool Trusted(const std::string& path, const FileFacts& facts, Use use, std::string& error) {
    for (const Rule& rule : rules) {
        if (!rule.breaks(facts, use)) continue;
        error = path + " (" + facts.described + "): " + rule.says();
        return false;
    }
    return true;
}

bool Failed(std::string& error, const std::string& what) {
    error = what;
    return false;
}

}  // namespace

bool RigFolder::Adopt(const std::string& where, bool opened, const std::string& reason, std::string& error) {
    path = where;
    return opened ? Trusted(path, folder.Facts(), Use::Public, error) : Failed(error, path + ": " + reason);
}

bool RigFolder::Open(const std::string& where, std::string& error) {
    std::string reason;
    return Adopt(where, folder.Open(where, reason), reason, error);
}

bool RigFolder::OpenOrMake(const std::string& where, std::string& error) {
    std::filesystem::path full(where);
    if (!full.has_filename()) full = full.parent_path();  // "rig/" names "rig"
    const std::string above = full.has_parent_path() ? full.parent_path().string() : ".";
    const std::string leaf = full.filename().string();
    std::string reason;
    platform::Folder container;
    FileFacts facts;
    if (!container.Open(above, reason, true)) return Failed(error, above + ": " + reason);
    if (container.LookAt(leaf, facts)) return Adopt(where, folder.OpenIn(container, leaf, reason), reason, error);
    if (!Trusted(above, container.Facts(), Use::Parent, error))
        return Failed(error, error + "; " + where + " not made");
    if (!folder.MakeIn(container, leaf, reason)) return Failed(error, where + ": cannot make it: " + reason);
    parent = std::move(container);
    name = leaf;
    path = where;
    return true;
}

bool RigFolder::OpenIn(const RigFolder& within, const std::string& child, std::string& error) {
    std::string reason;
    return Adopt(within.PathOf(child), folder.OpenIn(within.folder, child, reason), reason, error);
}

bool RigFolder::MakeIn(const RigFolder& within, const std::string& child, std::string& error) {
    std::string reason;
    path = within.PathOf(child);
    if (!folder.MakeIn(within.folder, child, reason)) return Failed(error, path + ": cannot make it: " + reason);
    name = child;
    return parent.OpenIn(within.folder, ".", reason) || Failed(error, within.path + ": " + reason);
}

std::string RigFolder::PathOf(const std::string& file) const { return (std::filesystem::path(path) / file).string(); }

bool RigFolder::Has(const std::string& file) const {
    FileFacts facts;
    return folder.LookAt(file, facts);
}

bool RigFolder::Read(const std::string& file, bool secret, std::string& text, std::string& error) const {
    FileFacts facts;
    std::string reason;
    if (!folder.Read(file, text, facts, reason)) return Failed(error, PathOf(file) + ": cannot read it: " + reason);
    return Trusted(PathOf(file), facts, secret ? Use::Secret : Use::Public, error);
}

bool RigFolder::Write(const std::string& file, const std::string& text, bool secret, std::string& error) {
    std::string reason;
    if (!folder.Create(file, text, secret ? secretMode : publicMode, reason))
        return Failed(error, PathOf(file) + ": cannot write it: " + reason);
    written.push_back(file);
    return true;
}

bool RigFolder::Replace(const std::string& file, const std::string& text, std::string& error) const {
    std::string reason;
    return folder.Replace(file, text, publicMode, reason) ||
           Failed(error, PathOf(file) + ": cannot replace it: " + reason);
}

bool RigFolder::Append(const std::string& file, const std::string& text, std::string& error) const {
    std::string reason;
    return folder.Append(file, text, reason) || Failed(error, PathOf(file) + ": cannot add to it: " + reason);
}

void RigFolder::Undo() {
    for (const std::string& file : written) (void)folder.Remove(file);
    written.clear();
    folder = platform::Folder();  // a folder held open cannot be removed everywhere
    if (!name.empty()) (void)parent.Remove(name);
}
