// What the writer writes the reader gives back bit for bit: plain and
// compressed, across a server restart and a change of flags and description,
// with NaN and infinities, and texts holding line breaks, escape sequences,
// backslashes and bidirectional controls; and a file cut short reads up to its
// last whole write with one warning naming where it stops.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "recording/RecordingReader.h"
#include "recording/RecordingSyntax.h"
#include "recording/RecordingWriter.h"

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
// What the file stores escaped: a line break, a terminal's title sequence, a
// backslash alone and before "x41", a right-to-left override and an isolate.
const std::string hostile = "Rig\r\n\x1b]0;x\x07 C:\\dir \\x41 \xe2\x80\xae\xe2\x81\xa6 \xc3\xbc";

RecordedWrite Write(double seconds, uint32_t writeCount, uint32_t flags, const std::string& description, float x) {
    RecordedWrite write;
    write.seconds = seconds;
    write.writeCount = writeCount;
    write.stampMicros = 4294967000u + writeCount;
    write.channel = {0, 3, flags, description};
    write.stations = {{0, {x, 0.1f, -2.5f, 3.14159274f, 1e-7f, 0.0f}}, {2, {nan, -nan, inf, -inf, -0.0f, 1e38f}}};
    return write;
}

// A server restart between the third and the fourth write: the counter goes
// back and the flags and description change.
std::vector<RecordedWrite> Writes() {
    std::vector<RecordedWrite> writes = {Write(0.0, 7, 0x21F, hostile, 1.5f), Write(0.008333, 8, 0x21F, hostile, 1.25f),
                                         Write(0.016667, 9, 0x21F, hostile, 1.0f),
                                         Write(2.5, 1, 0x213, "Rig  restarted", 0.5f),
                                         Write(2.508333, 2, 0x213, "Rig  restarted", 0.25f)};
    for (std::size_t i = 0; i < writes.size(); ++i) writes[i].channelChanged = i == 0 || i == 3;
    writes[1].stampsBack = true;
    return writes;
}

void WriteRecording(const std::string& path) {
    RecordingInfo info;
    info.start = "2026-12-08T01:12:14.123Z";
    info.host = "lab-pc " + hostile;
    info.prefix = "lvx_";
    info.instrument = 0;
    info.bins = 0x8;
    info.stations = 0x5;
    info.program = "lumivex-monitor 0.3.0";
    RecordingWriter writer;
    ASSERT_TRUE(writer.Open(path, info));
    for (const RecordedWrite& write : Writes()) {
        if (write.stampsBack) {
            ASSERT_TRUE(writer.WriteStampsBack(0, 3));
        }
        if (write.channelChanged) {
            ASSERT_TRUE(writer.WriteChannel(write.channel));
        }
        ASSERT_TRUE(writer.WriteWrite(write));
    }
    ASSERT_TRUE(writer.Close());
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Drops the last `bytes` of the file, or its whole last line when 0.
void CutFile(const std::string& path, std::size_t bytes) {
    std::string text = ReadAll(path);
    std::size_t keep = bytes ? text.size() - bytes : text.rfind('\n', text.size() - 2) + 1;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text.substr(0, keep);
}

void ExpectSameWrite(const RecordedWrite& read, const RecordedWrite& written, std::size_t index) {
    SCOPED_TRACE("write " + std::to_string(index));
    EXPECT_EQ(read.seconds, written.seconds);
    EXPECT_EQ(read.writeCount, written.writeCount);
    EXPECT_EQ(read.stampMicros, written.stampMicros);
    EXPECT_EQ(read.channel.instrument, 0);
    EXPECT_EQ(read.channel.bin, 3);
    EXPECT_EQ(read.channel.flags, written.channel.flags);
    EXPECT_EQ(read.channel.description, written.channel.description);
    EXPECT_EQ(read.channelChanged, written.channelChanged);
    EXPECT_EQ(read.stampsBack, written.stampsBack);
    ASSERT_EQ(read.stations.size(), written.stations.size());
    for (std::size_t k = 0; k < read.stations.size(); ++k) {
        EXPECT_EQ(read.stations[k].station, written.stations[k].station);
        EXPECT_EQ(0, std::memcmp(&read.stations[k].record, &written.stations[k].record, sizeof(StationRecord)))
            << "station " << written.stations[k].station;
    }
}

struct Case {
    const char* name;
    const char* suffix;
    std::size_t cutBytes;  // taken off the end of the file (0: its last line, when cut)
    std::size_t wholeWrites;
    long cutLine;  // the line the warning names; 0: no warning
};

TEST(RecordingRoundTrip, ReadsBackWhatWasWrittenUpToTheLastWholeWrite) {
    // The file: 11 lines of metadata, a channel line, 2 rows (lines 13-14),
    // the stamps' step back (15), 4 rows (16-19), the second channel line (20)
    // and 4 rows (21-24), each write two rows.
    const Case cases[] = {
        {"plain", ".csv", 0, 5, 0},
        {"compressed", ".csv.gz", 0, 5, 0},
        {"cut inside the last line", ".csv", 5, 4, 23},
        {"cut after the first row of the last write", ".csv", 0, 4, 23},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/tmp/lvxrecording" + std::to_string(getpid()) + c.suffix;
        WriteRecording(path);
        if (c.cutLine != 0) CutFile(path, c.cutBytes);

        RecordingReader reader;
        ASSERT_TRUE(reader.Open(path)) << reader.Error();
        EXPECT_EQ(reader.Info().version, 2);
        EXPECT_EQ(reader.Info().host, "lab-pc " + hostile);
        EXPECT_EQ(reader.Info().stations, 0x5u);
        std::vector<RecordedWrite> read;
        for (RecordedWrite write; reader.Next(write);) read.push_back(write);
        EXPECT_EQ(reader.Error(), "");
        ASSERT_EQ(read.size(), c.wholeWrites);
        for (std::size_t i = 0; i < read.size(); ++i) ExpectSameWrite(read[i], Writes()[i], i);
        std::string expectedWarning =
            c.cutLine ? path + ":" + std::to_string(c.cutLine) + ": the file is cut short" : "";
        EXPECT_EQ(reader.CutWarning().substr(0, expectedWarning.size()), expectedWarning);
        EXPECT_EQ(reader.CutWarning().empty(), c.cutLine == 0);
        std::remove(path.c_str());
    }
}

// Files written before texts were escaped read the same, but where a
// backslash is followed by x and two hexadecimal digits.
TEST(RecordingSyntax, UnescapedDescriptionsOfOlderFilesReadTheSameButForBackslashXHH) {
    const struct {
        std::string text, description, error;
    } cases[] = {
        {"C:\\dir\\ \\X41 \\x4g \\x4", "C:\\dir\\ \\X41 \\x4g \\x4", ""},
        {"\\x41\\x4a\\x4A\\x5cx41", "AJJ\\x41", ""},
        {"nul \\x00", "", "the description holds a NUL byte"},
    };
    for (const auto& c : cases) {
        RecordedChannel channel;
        EXPECT_EQ(recording_syntax::ParseChannelLine("# channel 0 0 flags 0x1 description " + c.text, channel),
                  c.error);
        if (c.error.empty()) {
            EXPECT_EQ(channel.description, c.description) << c.text;
        }
    }
}

// A time the reader would refuse (some would not even fit a row) fails the
// writer instead of being written.
TEST(RecordingWriter, RefusesATimeBeyondTheLongest) {
    const std::string path = "/tmp/lumivex-longest-" + std::to_string(getpid()) + ".csv";
    RecordingWriter writer;
    ASSERT_TRUE(writer.Open(path, RecordingInfo{}));
    EXPECT_TRUE(writer.WriteWrite(Write(1e9, 1, 0x21F, "Rig", 1.0f)));
    EXPECT_FALSE(writer.WriteWrite(Write(1e61, 2, 0x21F, "Rig", 1.0f)));
    EXPECT_EQ(writer.Writes(), 1);
    EXPECT_EQ(writer.FailureReason(), "a write's time is out of the file's range");
    std::remove(path.c_str());
}

// The reason is the one of the failure itself, wherever it shows: at once, or
// only when buffered text reaches the system.
TEST(RecordingWriter, KeepsTheReasonOfTheFirstFailure) {
    struct Case {
        const char* path;
        bool opens;
        const char* reason;
    } cases[] = {{"/nonexistent/lumivex.csv", false, "No such file or directory"},
                 {"/dev/full", true, "No space left on device"}};
    for (const Case& c : cases) {
        RecordingWriter writer;
        EXPECT_EQ(writer.Open(c.path, RecordingInfo{}), c.opens) << c.path;
        EXPECT_FALSE(writer.WriteWrite(Write(1.0, 1, 0x21F, "Rig", 1.0f)) && writer.Close()) << c.path;
        EXPECT_EQ(writer.FailureReason(), c.reason) << c.path;
    }
}

// What the reader lets pass at the edges of a line: a byte-order mark some
// editors put first, and a CR before the line feed, which does not count
// toward the longest line.
TEST(RecordingReader, ToleratesAByteOrderMarkAndACarriageReturn) {
    const std::string longest = "# " + std::string((1 << 16) - 2, 'c');
    const struct {
        const char *name, *start;
        std::string comment;
        const char* error;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF", "# c", ""},
        {"longest line, LF", "", longest + "\n", ""},
        {"longest line, CRLF", "", longest + "\r\n", ""},
        {"a byte longer", "", longest + "c\r\n", ":5: a line longer than 65536 bytes"},
    };
    const std::string path = "/tmp/lumivex-edges-" + std::to_string(getpid()) + ".csv";
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            << c.start << "# lumivex recording 2\n# stations 0\n"
            << "time_s,instrument,bin,write,stamp_us,station,x,y,z,azimuth,elevation,roll\n"
            << "# channel 0 0 flags 0x21F description Rig\n"
            << c.comment << "\n0.5,0,0,9,0,0,1,1,1,0,0,0\n";
        RecordingReader reader;
        RecordedWrite write;
        EXPECT_EQ(reader.Open(path) && reader.Next(write), *c.error == 0) << c.name;
        EXPECT_EQ(reader.Error(), *c.error ? path + c.error : "") << c.name;
    }
    std::remove(path.c_str());
}

}  // namespace
