#include "recording/RecordingWriter.h"

#include <cstdio>
#include <unistd.h>
#include <zlib.h>

#include "recording/RecordingSyntax.h"
#include "tools/common/NumberList.h"

using namespace recording_syntax;

namespace {

gzFile Handle(void* file) { return static_cast<gzFile>(file); }

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "T": zlib writes the text as it is; zlib closes the descriptor it is
// given, so standard output is handed over as a copy.
gzFile Create(const std::string& path) {
    const char* mode = EndsWith(path, ".gz") ? "wb6" : "wT";
    if (path != "-") return gzopen(path.c_str(), mode);
    int descriptor = dup(STDOUT_FILENO);
    gzFile file = descriptor < 0 ? nullptr : gzdopen(descriptor, mode);
    if (!file && descriptor >= 0) close(descriptor);
    return file;
}

std::string Metadata(const RecordingInfo& info) {
    std::string text = std::string(versionLine) + "\n# start " + EscapeText(info.start) + "\n# host " +
                       EscapeText(info.host) + "\n# prefix " + EscapeText(info.prefix) + "\n";
    if (info.instrument >= 0) text += "# instrument " + std::to_string(info.instrument) + "\n";
    return text + "# bins " + DescribeNumberList(info.bins) + "\n# stations " + DescribeNumberList(info.stations) +
           "\n# program " + EscapeText(info.program) + "\n" + unitsLine + "\n" + rotationLine + "\n" + columnLine + "\n";
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

}  // namespace

RecordingWriter::~RecordingWriter() { Close(); }

bool RecordingWriter::Open(const std::string& path, const RecordingInfo& info) {
    file = Create(path);
    if (!file) return false;
    return Put(Metadata(info));
}

bool RecordingWriter::Put(const std::string& text) {
    failed |= !file || gzwrite(Handle(file), text.data(), static_cast<unsigned>(text.size())) != static_cast<int>(text.size());
    return !failed;
}

bool RecordingWriter::WriteChannel(const RecordedChannel& channel) { return Put(FormatChannelLine(channel) + "\n"); }

bool RecordingWriter::WriteChannelGone(int instrument, int bin) { return Put(FormatChannelGoneLine(instrument, bin) + "\n"); }

// A time the reader would refuse is not written: it fails the recording.
bool RecordingWriter::WriteWrite(const RecordedWrite& write) {
    char lead[80], row[192];
    int leadLength = FormatLead(lead, sizeof lead, write);
    failed |= !(write.seconds >= 0.0 && write.seconds <= longestSeconds) || leadLength < 0 ||
              static_cast<std::size_t>(leadLength) >= sizeof lead;
    if (failed) return false;
    std::string text;
    for (const RecordedStation& station : write.stations) {
        text.append(lead, static_cast<std::size_t>(leadLength));
        text.append(row, static_cast<std::size_t>(FormatStation(row, station) - row));
    }
    ++writes;
    return Put(text);
}

bool RecordingWriter::Flush() {
    failed |= !file || gzflush(Handle(file), Z_SYNC_FLUSH) != Z_OK;
    return !failed;
}

bool RecordingWriter::Close() {
    if (!file) return !failed;
    failed |= gzclose_w(Handle(file)) != Z_OK;
    file = nullptr;
    return !failed;
}
