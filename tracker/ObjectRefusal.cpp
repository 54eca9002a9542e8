#include "tracker/ObjectRefusal.h"

#include <cstdio>
#include <map>

#include "tracker/ShMemChannelSet.h"

namespace {

using platform::OpenStatus;

struct Wording {
    const char* reason;
    bool looked;  // the object was opened and looked at, so owner and mode are known
};

const std::map<OpenStatus, Wording> wordings = {
    {OpenStatus::Opened, {"usable", true}},
    {OpenStatus::Missing, {"does not exist", false}},
    {OpenStatus::NotReady, {"not ready: its creator has not finished setting it up", true}},
    {OpenStatus::WrongKind, {"not ready: not a mutex of the kind our servers create", true}},
    {OpenStatus::NotRegularFile, {"not a regular file (a FIFO, link, directory or device)", false}},
    {OpenStatus::ForeignOwner, {"owned by another user", true}},
    {OpenStatus::WritableByOthers, {"writable by every user", true}},
    {OpenStatus::WritableByGroup, {"writable by a group this user is not in", true}},
    {OpenStatus::WritableThroughAcl, {"an ACL lets another user or group write it", true}},
    {OpenStatus::PermissionDenied, {"permission denied", false}},
    {OpenStatus::Failed, {"cannot be opened", false}},
};

}  // namespace

std::string RefusalReason(const platform::ObjectCheck& check) {
    const Wording& wording = wordings.at(check.status);
    if (!wording.looked) return wording.reason;
    char details[96];
    std::snprintf(details, sizeof details, " (owner uid %u, group %u, mode %04o)", check.owner, check.group, check.mode);
    return wording.reason + std::string(details);
}

std::string DescribeTrouble(const ShMemChannelSet& set, int channel) {
    ChannelTrouble trouble = set.Trouble(channel);
    ChannelObject object = trouble.held || trouble.mutexObject ? ChannelObject::Mutex : ChannelObject::Region;
    std::string name = platform::SharedObjectName(NameOf(object, set.Instrument(), channel).text);
    if (trouble.held)
        return name + ": held by another process for longer than " + std::to_string(ShMemChannelSet::lockBudget.count()) +
               " ms";
    bool nothing = trouble.check.status == platform::OpenStatus::Missing && !trouble.mutexObject;
    return nothing || trouble.check.status == platform::OpenStatus::Opened ? "" : name + ": " + RefusalReason(trouble.check);
}
