// A Fast DDS program that writes one channel state for lumivex-bridge
// receive to put into shared memory, prints it (ChannelTopic::Describe) and
// keeps it for receivers that join later.
//
//   fastdds-channel-writer DOMAIN INSTRUMENT BIN DESCRIPTION [PROFILE.xml]
//
// Runs until it is ended (Ctrl-C); the channel keeps its state.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ChannelTopic.h"

using namespace eprosima::fastdds::dds;

namespace {

// Station 0 active, Cartesian positions with Euler angles in centimetres; the
// records are a byte pattern, as a real tracker's floats would be 768 bytes.
LumivexBridge::ChannelSample ExampleState(int instrument, int bin, const std::string& description) {
    LumivexBridge::ChannelSample sample;
    sample.instrument(instrument);
    sample.bin(bin);
    sample.writeCount(41);
    sample.flags(0x131);
    sample.timestampMicros(123456789);
    std::vector<uint8_t> records(768);
    for (size_t k = 0; k < records.size(); ++k) records[k] = static_cast<uint8_t>(k * 7 + 1);
    sample.records(records);
    sample.description(std::vector<uint8_t>(description.begin(), description.end() + 1));  // with its NUL
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 6) {
        std::fprintf(stderr, "usage: %s DOMAIN INSTRUMENT BIN DESCRIPTION [PROFILE.xml]\n", argv[0]);
        return 2;
    }
    ChannelTopic channels;
    std::string problem = channels.Open(static_cast<uint32_t>(std::atoi(argv[1])), argc == 6 ? argv[5] : "");
    DataWriter* writer = problem.empty() ? channels.CreateWriter() : nullptr;
    if (!writer) {
        std::fprintf(stderr, "%s: %s\n", argv[0], problem.empty() ? "cannot create the writer" : problem.c_str());
        return 1;
    }
    LumivexBridge::ChannelSample sample = ExampleState(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (!writer->write(&sample)) {
        std::fprintf(stderr, "%s: cannot write the state\n", argv[0]);
        return 1;
    }
    std::printf("%s\n", ChannelTopic::Describe(sample).c_str());
    std::fflush(stdout);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
