// The C interface: checks the arguments, turns every outcome into a status
// and the calling thread's message, and lets no exception out.
#include "lumivex/lumivex.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "client/ChannelLibraryTurn.h"
#include "client/ChannelList.h"
#include "client/ClientReader.h"
#include "client/ClientWriter.h"
#include "tools/common/Version.h"

struct lumivex_reader {
    explicit lumivex_reader(ChannelId id) : reader(id) {}
    ClientReader reader;
};

struct lumivex_writer {
    lumivex_writer(ChannelId id, const char* description, uint32_t flags) : writer(id, description, flags) {}
    ClientWriter writer;
};

namespace {

thread_local std::string lastMessage;

lumivex_status Report(const Outcome& outcome) {
    lastMessage = outcome.message;
    return outcome.status;
}

lumivex_status Invalid(const std::string& why) { return Report({LUMIVEX_INVALID_ARGUMENT, why}); }

// Runs `call`, which returns an Outcome, and reports it; an exception
// becomes LUMIVEX_FAILED with its text.
template <typename Call>
lumivex_status Guarded(Call&& call) noexcept {
    try {
        return Report(call());
    } catch (const std::bad_alloc&) {
        lastMessage = "out of memory";  // short enough to need no memory
        return LUMIVEX_FAILED;
    } catch (const std::exception& error) {
        return Report({LUMIVEX_FAILED, error.what()});
    } catch (...) {
        return Report({LUMIVEX_FAILED, "unexpected failure"});
    }
}

std::string ChannelRangeError(int32_t instrument, int32_t bin) {
    if (!ChannelId::InRange(instrument)) return "instrument " + std::to_string(instrument) + " is not in 0..15";
    if (!ChannelId::InRange(bin)) return "bin " + std::to_string(bin) + " is not in 0..15";
    return {};
}

// The channel objects are made and given up under the library's turn.
template <typename Handle, typename... Arguments>
std::unique_ptr<Handle> Make(Arguments&&... arguments) {
    auto library = ChannelLibraryTurn();
    return std::make_unique<Handle>(std::forward<Arguments>(arguments)...);
}

template <typename Handle>
void Free(Handle* handle) {
    auto library = ChannelLibraryTurn();
    delete handle;
}

}  // namespace

extern "C" {

const char* lumivex_version(void) {
    lastMessage.clear();
    return lumivexVersion;
}

const char* lumivex_last_message(void) { return lastMessage.c_str(); }

lumivex_status lumivex_list_channels(lumivex_channel_info* channels, int32_t capacity, int32_t* count) {
    if (!count || capacity < 0 || (capacity > 0 && !channels))
        return Invalid("lumivex_list_channels needs a count, and room for `capacity` channels");
    return Guarded([&] {
        std::vector<lumivex_channel_info> list = PublishedChannels();
        *count = static_cast<int32_t>(list.size());
        std::memcpy(channels, list.data(), std::min<std::size_t>(list.size(), capacity) * sizeof *channels);
        return Outcome::Done();
    });
}

lumivex_status lumivex_reader_open(int32_t instrument, int32_t bin, lumivex_reader** reader) {
    if (!reader) return Invalid("lumivex_reader_open needs a place for the reader");
    *reader = nullptr;
    std::string range = ChannelRangeError(instrument, bin);
    if (!range.empty()) return Invalid(range);
    return Guarded([&] {
        std::unique_ptr<lumivex_reader> made = Make<lumivex_reader>(ChannelId{instrument, bin});
        Outcome outcome = made->reader.Open();
        if (outcome.Ok()) *reader = made.release();
        if (!outcome.Ok()) Free(made.release());
        return outcome;
    });
}

void lumivex_reader_close(lumivex_reader* reader) {
    lastMessage.clear();
    if (reader) Free(reader);
}

lumivex_status lumivex_read(lumivex_reader* reader, lumivex_state* state) {
    if (!reader || !state) return Invalid("lumivex_read needs a reader and a state");
    return Guarded([&] { return reader->reader.Read(*state); });
}

lumivex_status lumivex_wait(lumivex_reader* reader, int32_t timeout_ms, lumivex_state* state) {
    if (!reader || !state) return Invalid("lumivex_wait needs a reader and a state");
    if (timeout_ms < 0) return Invalid("the time-out " + std::to_string(timeout_ms) + " ms is negative");
    return Guarded([&] { return reader->reader.Wait(std::chrono::milliseconds(timeout_ms), *state); });
}

lumivex_status lumivex_reader_info(lumivex_reader* reader, lumivex_channel_info* info) {
    if (!reader || !info) return Invalid("lumivex_reader_info needs a reader and an info record");
    return Guarded([&] {
        *info = reader->reader.Info();
        return Outcome::Done();
    });
}

lumivex_status lumivex_writer_open(int32_t instrument, int32_t bin, const char* description, uint32_t flags,
                                   uint32_t mode, lumivex_writer** writer) {
    if (!writer) return Invalid("lumivex_writer_open needs a place for the writer");
    *writer = nullptr;
    std::string range = ChannelRangeError(instrument, bin);
    if (!range.empty()) return Invalid(range);
    return Guarded([&] {
        std::unique_ptr<lumivex_writer> made =
            Make<lumivex_writer>(ChannelId{instrument, bin}, description ? description : "", flags);
        Outcome outcome = made->writer.Open(mode);
        if (outcome.Ok()) *writer = made.release();
        if (!outcome.Ok()) Free(made.release());
        return outcome;
    });
}

lumivex_status lumivex_write(lumivex_writer* writer, const lumivex_pose poses[LUMIVEX_STATIONS]) {
    if (!writer || !poses) return Invalid("lumivex_write needs a writer and the poses of every station");
    return Guarded([&] { return writer->writer.Write(poses); });
}

lumivex_status lumivex_writer_close(lumivex_writer* writer) {
    if (!writer) return Invalid("lumivex_writer_close needs a writer");
    return Guarded([&] {
        Outcome outcome = writer->writer.Remove();
        Free(writer);
        return outcome;
    });
}

}  // extern "C"
