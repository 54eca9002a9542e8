#include "channel/ObjectRefusal.h"

#include <chrono>
#include <map>

#include "channel/ChannelState.h"
#include "text/ConsoleText.h"
#include "channel/ShMemChannelSet.h"
#include "text/Warning.h"

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
    {OpenStatus::WritableByOwnGroup, "writable by its group, so no program locks it"},
    {OpenStatus::NotOwnMutex, "another user's, and a program locks only a mutex of its own user"},
    {OpenStatus::PermissionDenied, "permission denied"},
    {OpenStatus::LiveWriter, "has a live writer"},
    {OpenStatus::TooLarge, "too large to map"},
    {OpenStatus::TooSmall, "shorter than a channel's layout"},
    {OpenStatus::RefusedName, "LUMIVEX_SHM_PREFIX is refused"},
    {OpenStatus::Failed, "cannot be opened"},
};

const char halfWriteText[] =
    "its server died in the middle of a write; what it left half written is not read until a server writes again";

std::string Milliseconds(std::chrono::nanoseconds duration) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
}

// Told only when the object was there to be looked at.
std::string Details(const platform::ObjectCheck& check) {
    if (check.status == OpenStatus::TooLarge)
        return " (" + std::to_string(check.size) + " bytes; a reader maps at most " +
               std::to_string(platform::maxMappedRegionSize >> 20) + " MiB)";
    if (check.status == OpenStatus::TooSmall)
        return " (" + std::to_string(check.size) + " bytes; a channel takes " +
               std::to_string(station_layout::publishedRegionSize) + ")";
    return check.description.empty() ? "" : " (" + check.description + ")";
}

}  // namespace

std::string RefusalReason(const platform::ObjectCheck& check) {
    return reasons.at(check.status) + SystemCause(check) + Details(check);
}

std::string SystemCause(const platform::ObjectCheck& check) {
    bool named = check.status == OpenStatus::Failed && check.error != 0;
    return named ? ": " + platform::ErrorText(check.error) : "";
}

std::string EarlierModeHint(platform::OpenStatus status) {
    if (status != OpenStatus::WritableByOwnGroup) return "";
    return "; mode 0660, which earlier releases advised for a group that watches, is no longer used: give the "
           "group read only, regions 0640 and mutex objects 0600 (configure the server with mode 0640, or "
           "chmod 0640 the region and 0600 the mutex object)";
}

std::string MutexRefusalFix(platform::OpenStatus status) {
    return "; to read the channel, its server must keep the write sequence, or the mutex object must be mode 0600 "
           "and this program run as the server's user" +
           EarlierModeHint(status);
}

std::string ShownName(const std::string& name) { return ConsoleText(platform::SharedObjectName(name.c_str())); }

bool WarnAboutSharedObjectSettings() {
    static const bool prefixSound = [] {
        for (const std::string& warning : platform::TrustedOwnerWarnings())
            PrintWarning("trusted owners", ConsoleText(warning));
        std::string refusal = platform::SharedPrefixRefusal();
        if (!refusal.empty())
            PrintWarning("LUMIVEX_SHM_PREFIX \"" + ShownName("") + "\" is refused", refusal + "; use a plain name");
        return refusal.empty();
    }();
    return prefixSound;
}

std::string DescribeTrouble(const ShMemChannelSet& set, int channel) {
    ChannelTrouble trouble = set.Trouble(channel);
    bool mutex = (trouble.held && !trouble.readOnly) || trouble.abandoned || trouble.halfWritten || trouble.mutexObject;
    ChannelObject object = mutex ? ChannelObject::Mutex : ChannelObject::Region;
    std::string name = ShownName(NameOf(object, set.Instrument(), channel).text);
    std::string waited = Milliseconds(trouble.waited) + " ms";
    if (trouble.halfWritten) return name + ": " + halfWriteText;
    if (trouble.held && trouble.readOnly)
        return name + ": its server has been writing it for longer than " + waited + " (or died while writing)";
    if (trouble.held) return name + ": held by another process for longer than " + waited;
    if (trouble.abandoned) return name + ": its holder died holding it; read again at the next write";
    bool nothing = trouble.check.status == platform::OpenStatus::Missing && !trouble.mutexObject;
    if (nothing || trouble.check.status == platform::OpenStatus::Opened) return "";
    bool fix = trouble.mutexObject && platform::IsRefusal(trouble.check.status);
    return name + ": " + RefusalReason(trouble.check) + (fix ? MutexRefusalFix(trouble.check.status) : "");
}

std::string DescribeWriterDeath(const ShMemChannelSet& set, int channel) {
    std::string name = platform::SharedObjectName(NameOf(ChannelObject::Mutex, set.Instrument(), channel).text);
    ChannelTrouble trouble = set.Trouble(channel);
    if (trouble.halfWritten) return name + ": " + halfWriteText;
    return name + ": its server died holding it, between writes; its last write is whole";
}
