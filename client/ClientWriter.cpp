#include "client/ClientWriter.h"

#include <cstdio>
#include <cstring>

#include "channel/ObjectRefusal.h"
#include "client/ChannelLibraryTurn.h"
#include "tools/common/ChannelMode.h"

namespace {

// The tools' rule for the bits of the channels they create.
std::string ModeRefusal(unsigned mode) {
    char octal[16];
    std::snprintf(octal, sizeof octal, "%o", mode);
    unsigned parsed = 0;
    std::string why = ParseChannelMode(octal, parsed);
    return why.empty() ? why : "mode 0" + std::string(octal) + ": " + why;
}

lumivex_status StatusOfRefusal(const platform::ObjectCheck& check) {
    if (check.status == platform::OpenStatus::LiveWriter) return LUMIVEX_IN_USE;
    return platform::IsRefusal(check.status) ? LUMIVEX_REFUSED : LUMIVEX_FAILED;
}

}  // namespace

ClientWriter::ClientWriter(ChannelId id, std::string description, uint32_t flags) : writer(id.instrument, id.bin) {
    state.flags = flags;
    state.description = std::move(description);
}

Outcome ClientWriter::Open(unsigned mode) {
    std::lock_guard<std::mutex> own(turn);
    std::string refusal = ModeRefusal(mode);
    if (!refusal.empty()) return {LUMIVEX_INVALID_ARGUMENT, refusal};
    auto library = ChannelLibraryTurn();
    if (writer.Open(mode, state)) return Outcome::Done();
    return {StatusOfRefusal(writer.Refusal()), writer.Failure()};
}

// A write skipped because a reader held the mutex past the writer's budget
// is reported, and the next write goes on with the next number.
Outcome ClientWriter::Write(const lumivex_pose* poses) {
    std::lock_guard<std::mutex> own(turn);
    ++state.writeCount;
    state.timestampMicros = ChannelWriter::StampMicros();
    std::memcpy(state.records, poses, sizeof state.records);
    auto library = ChannelLibraryTurn();
    const uint64_t skipped = writer.SkippedWrites();
    // A region that cannot be given back its size, or objects that cannot be
    // made again after someone removed them: Failure says which.
    if (!writer.Publish(state)) return {LUMIVEX_FAILED, writer.Failure()};
    if (writer.SkippedWrites() != skipped)
        return {LUMIVEX_BUSY, ShownName(writer.MutexName()) + ": held by another process for longer than " +
                                  std::to_string(ChannelWriter::lockBudget.count()) + " ms; write skipped"};
    std::string notice = writer.TakeNotice();
    return Outcome::Done(notice.empty() ? notice : ShownName(writer.RegionName()) + ": " + notice);
}

Outcome ClientWriter::Remove() {
    std::lock_guard<std::mutex> own(turn);
    auto library = ChannelLibraryTurn();
    if (writer.Remove()) return Outcome::Done();
    return {LUMIVEX_FAILED, ShownName(writer.RegionName()) + ": cannot be removed"};
}
