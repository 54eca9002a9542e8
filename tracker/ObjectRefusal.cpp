#include "tracker/ObjectRefusal.h"

#include <chrono>
#include <cstdio>
#include <map>

#include "tracker/ShMemChannelSet.h"

namespace {

using platform::OpenStatus;

const std::map<OpenStatus, const char*> reasons = {
    {OpenStatus::Opened, "usable"},
    {OpenStatus::Missing, "does not exist"},
    {OpenStatus::NotReady, "not ready: its creator has not finished setting it up"},
    {OpenStatus::WrongKind, "not ready: not a mutex of the kind our servers create"},
    {OpenStatus::NotRegularFile, "not a regular file"},
    {OpenStatus::ForeignOwner, "owned by another user"},
    {OpenStatus::WritableByOthers, "writable by every user"},
    {OpenStatus::WritableByGroup, "writable by a group this user is not in"},
    {OpenStatus::WritableThroughAcl, "an ACL lets another user or group write it"},
    {OpenStatus::PermissionDenied, "permission denied"},
    {OpenStatus::LiveWriter, "has a live writer"},
    {OpenStatus::LooseMutex, "others than its owner may write it, and a mutex object must be private to its server: "
                             "remove it (lumivex-publisher --unlink) or chmod it 0600"},
    {OpenStatus::Failed, "cannot be opened"},
};

std::string Milliseconds(std::chrono::nanoseconds duration) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
}

// The kinds of object a channel never is.
const std::map<platform::ObjectKind, const char*> oddKinds = {
    {platform::ObjectKind::Fifo, "a FIFO, "},       {platform::ObjectKind::SymbolicLink, "a symbolic link, "},
    {platform::ObjectKind::Directory, "a directory, "}, {platform::ObjectKind::Device, "a device, "},
    {platform::ObjectKind::Socket, "a socket, "},
};

// Told only when the object was there to be looked at.
std::string Details(const platform::ObjectCheck& check) {
    if (check.kind == platform::ObjectKind::Unknown) return "";
    auto odd = oddKinds.find(check.kind);
    char details[128];
    std::snprintf(details, sizeof details, " (%sowner uid %u, group %u, mode %04o)", odd == oddKinds.end() ? "" : odd->second,
                  check.owner, check.group, check.mode);
    return details;
}

}  // namespace

std::string RefusalReason(const platform::ObjectCheck& check) {
    return reasons.at(check.status) + Details(check);
}

std::string DescribeTrouble(const ShMemChannelSet& set, int channel) {
    ChannelTrouble trouble = set.Trouble(channel);
    bool mutex = trouble.held || trouble.abandoned || trouble.mutexObject;
    ChannelObject object = mutex ? ChannelObject::Mutex : ChannelObject::Region;
    std::string name = platform::SharedObjectName(NameOf(object, set.Instrument(), channel).text);
    if (trouble.held) return name + ": held by another process for longer than " + Milliseconds(trouble.waited) + " ms";
    if (trouble.abandoned) return name + ": its holder died holding it; read again at the next write";
    bool nothing = trouble.check.status == platform::OpenStatus::Missing && !trouble.mutexObject;
    return nothing || trouble.check.status == platform::OpenStatus::Opened ? "" : name + ": " + RefusalReason(trouble.check);
}
