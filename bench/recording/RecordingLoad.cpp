// Makes and reads long recordings, for the load figures of
// docs/performance.md (run it under /usr/bin/time -v for peak memory):
//
//   bench-recording make FILE [SECONDS]   a recording of SECONDS (default an
//                                         hour) at 120 Hz, bins 0-1, stations 0-3
//   bench-recording load FILE             reads it write by write; prints the
//                                         writes and the seconds it took
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchArguments.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingWriter.h"

namespace {

constexpr double rate = 120.0;

// Every float moves on every write, as a tracked sensor does.
RecordedWrite Orbit(long index, int bin) {
    RecordedWrite write;
    write.seconds = static_cast<double>(index) / rate;
    write.writeCount = static_cast<uint32_t>(index + 1);
    write.stampMicros = static_cast<uint32_t>(1000000 + write.seconds * 1e6);
    write.channel = {0, bin, 0x21F, "Simulated tracker"};
    write.channelChanged = index == 0;
    for (int k = 0; k < 4; ++k) {
        float angle = static_cast<float>(write.seconds * 0.5 + k + bin);
        write.stations.push_back(
            {k, {std::cos(angle), std::sin(angle), 1.5f + 0.1f * k, angle, 0.25f * angle, -angle}});
    }
    return write;
}

int Failed(const std::string& path, const RecordingWriter& writer) {
    std::fprintf(stderr, "bench-recording: cannot write %s: %s\n", path.c_str(), writer.FailureReason().c_str());
    return 1;
}

int Make(const std::string& path, double seconds) {
    RecordingInfo info;
    info.start = "2026-12-08T00:00:00.000Z";
    info.host = "bench";
    info.instrument = 0;
    info.bins = 0x3;
    info.stations = 0xF;
    info.program = "bench-recording";
    RecordingWriter writer;
    if (!writer.Open(path, info)) return Failed(path, writer);
    const long writes = static_cast<long>(seconds * rate);
    for (long index = 0; index < writes; ++index) {
        for (int bin = 0; bin < 2; ++bin) {
            RecordedWrite write = Orbit(index, bin);
            if (write.channelChanged) writer.WriteChannel(write.channel);
            writer.WriteWrite(write);
        }
    }
    return writer.Close() ? 0 : Failed(path, writer);
}

int Load(const std::string& path) {
    auto start = std::chrono::steady_clock::now();
    RecordingReader reader;
    long writes = 0;
    if (reader.Open(path))
        for (RecordedWrite write; reader.Next(write);) ++writes;
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!reader.Error().empty()) std::fprintf(stderr, "%s\n", reader.Error().c_str());
    std::printf("%ld writes read in %.3f s\n", writes, took);
    return reader.Error().empty() ? 0 : 1;
}

const char* const usage =
    "usage: bench-recording make FILE [SECONDS] | load FILE\n"
    "  make: a recording of SECONDS (default an hour) at 120 Hz, bins 0-1, stations 0-3\n"
    "  load: reads it write by write; prints the writes and the seconds it took\n";

}  // namespace

int main(int argc, char** argv) {
    using Kind = BenchOperand::Kind;
    BenchArguments arguments(usage, {}, {{"COMMAND"}, {"FILE"}, {"SECONDS", Kind::Real, 0}});
    if (int status = arguments.Parse(argc, argv); status >= 0) return status;
    std::string command = arguments.Count() >= 2 ? arguments.Operand(0) : "";
    if (command == "make") return Make(arguments.Operand(1), arguments.Number(2, 3600.0));
    if (command == "load" && arguments.Count() == 2) return Load(arguments.Operand(1));
    std::fprintf(stderr, "%s", usage);
    return 2;
}
