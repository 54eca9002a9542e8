#include "recording/RecordingWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

#include "recording/RecordingSyntax.h"
#include "text/NumberList.h"

using namespace recording_syntax;

namespace {

// What the file may lag behind the recorder before the recording fails: over
// a minute of sixteen channels of 32 stations at 1 kHz.
constexpr std::size_t mostPending = 256u << 20;

gzFile Handle(void* file) { return static_cast<gzFile>(file); }

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "T": zlib writes the text as it is; zlib closes the descriptor it is
// given, so standard output is handed over as a copy.
gzFile Create(const std::string& path, int descriptor) {
    const char* mode = EndsWith(path, ".gz") ? "wb6" : "wT";
    if (path != "-" && descriptor < 0) return gzopen(path.c_str(), mode);
    if (path == "-") descriptor = dup(STDOUT_FILENO);
    gzFile file = descriptor < 0 ? nullptr : gzdopen(descriptor, mode);
    if (!file && descriptor >= 0) close(descriptor);
    return file;
}

std::string Metadata(const RecordingInfo& info) {
    std::string text = std::string(versionLine) + "\n# start " + EscapeText(info.start) + "\n# host " +
                       EscapeText(info.host) + "\n# prefix " + EscapeText(info.prefix) + "\n";
    if (info.instrument >= 0) text += "# instrument " + std::to_string(info.instrument) + "\n";
    return text + "# bins " + DescribeNumberList(info.bins) + "\n# stations " + DescribeNumberList(info.stations) +
           "\n# program " + EscapeText(info.program) + "\n" + unitsLine + "\n" + rotationLine + "\n" + columnLine +
           "\n";
}

// "seconds,instrument,bin,write,stamp," shared by the rows of one write.
int FormatLead(char* out, std::size_t size, const RecordedWrite& write) {
    return std::snprintf(out, size, "%.6f,%d,%d,%u,%u,", write.seconds, write.channel.instrument, write.channel.bin,
                         write.writeCount, write.stampMicros);
}

char* FormatStation(char* out, const RecordedStation& station) {
    out += std::snprintf(out, 8, "%d", station.station);
    const StationRecord& record = station.record;
    for (float value : {record.x, record.y, record.z, record.azimuth, record.elevation, record.roll}) {
        *out++ = ',';
        out = FormatFloat(out, value);
    }
    *out++ = '\n';
    return out;
}

// What zlib says went wrong with `file`; the system's reason (`error`, taken
// when the call failed) when it was the system's.
std::string ZlibReason(gzFile file, int error) {
    int code = Z_OK;
    const char* text = file ? gzerror(file, &code) : "";
    return !file || code == Z_ERRNO ? std::strerror(error) : text;
}

}  // namespace

RecordingWriter::~RecordingWriter() { Close(); }

bool RecordingWriter::Open(const std::string& path, const RecordingInfo& info, int descriptor) {
    file = Create(path, descriptor);
    if (!Note(file != nullptr)) return false;
    return Put(Metadata(info)) && Drain();
}

// The reason is taken at once, while errno still belongs to this failure.
bool RecordingWriter::Note(bool succeeded) {
    int error = errno;
    return succeeded || Fail(ZlibReason(Handle(file), error));
}

// The first failure is the one worth reporting.
bool RecordingWriter::Fail(const std::string& why) {
    std::lock_guard<std::mutex> hold(reasonGuard);
    if (!failed) reason = why;
    failed = true;
    return false;
}

std::string RecordingWriter::FailureReason() const {
    std::lock_guard<std::mutex> hold(reasonGuard);
    return reason;
}

bool RecordingWriter::Put(const std::string& text) {
    if (failed) return false;
    std::unique_lock<std::mutex> hold(pendingGuard);
    if (pending.size() + text.size() <= mostPending) return pending += text, true;
    hold.unlock();
    return Fail("the file took the recording more slowly than it came");
}

// The only place where the recording reaches zlib.
bool RecordingWriter::Drain() {
    std::string text;
    {
        std::lock_guard<std::mutex> hold(pendingGuard);
        text.swap(pending);
    }
    if (failed || text.empty()) return !failed;
    return Note(gzwrite(Handle(file), text.data(), static_cast<unsigned>(text.size())) ==
                static_cast<int>(text.size()));
}

bool RecordingWriter::WriteChannel(const RecordedChannel& channel) { return Put(FormatChannelLine(channel) + "\n"); }

bool RecordingWriter::WriteChannelGone(int instrument, int bin) {
    return Put(FormatChannelGoneLine(instrument, bin) + "\n");
}

bool RecordingWriter::WriteChannelDied(int instrument, int bin) { return Put(FormatDiedLine(instrument, bin) + "\n"); }

bool RecordingWriter::WriteStampsBack(int instrument, int bin) {
    return Put(FormatStampsBackLine(instrument, bin) + "\n");
}

// A time the reader would refuse is not written: it fails the recording.
bool RecordingWriter::WriteWrite(const RecordedWrite& write) {
    char lead[80], row[192];
    int leadLength = FormatLead(lead, sizeof lead, write);
    if (failed) return false;
    if (!(write.seconds >= 0.0 && write.seconds <= longestSeconds) || leadLength < 0 ||
        static_cast<std::size_t>(leadLength) >= sizeof lead)
        return Fail("a write's time is out of the file's range");
    std::string text;
    for (const RecordedStation& station : write.stations) {
        text.append(lead, static_cast<std::size_t>(leadLength));
        text.append(row, static_cast<std::size_t>(FormatStation(row, station) - row));
    }
    ++writes;
    return Put(text);
}

bool RecordingWriter::Flush() {
    if (!Drain()) return false;
    return Note(gzflush(Handle(file), Z_SYNC_FLUSH) == Z_OK);
}

// zlib frees its state on close, so its reason is known only by the code.
bool RecordingWriter::Close() {
    if (!file) return !failed;
    Drain();
    int closed = gzclose_w(Handle(file));
    int error = errno;
    file = nullptr;
    if (closed != Z_OK) Fail(closed == Z_ERRNO ? std::strerror(error) : "the compressor failed");
    return !failed;
}
