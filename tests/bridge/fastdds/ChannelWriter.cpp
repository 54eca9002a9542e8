// A Fast DDS program that writes one channel state for lumivex-bridge
// receive to put into shared memory, prints it (ChannelTopic::Describe) and
// keeps it for receivers that join later.
//
//   fastdds-channel-writer DOMAIN INSTRUMENT BIN DESCRIPTION PROFILE.xml
//
// The profile is required: it keeps the program off every network it is not
// meant for (loopback.xml: 127.0.0.1 only). Runs until it is ended (Ctrl-C);
// the channel keeps its state.
#include <chrono>
#include <cstdio>
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

// Every channel names an instrument and a bin 0..15.
bool ReadArguments(int argc, char** argv, long& domain, long& instrument, long& bin) {
    return argc == 6 && !ChannelTopic::AsksForHelp(argc, argv) &&
           ChannelTopic::ReadNumber(argv[1], ChannelTopic::highestDomain, domain) &&
           ChannelTopic::ReadNumber(argv[2], 15, instrument) && ChannelTopic::ReadNumber(argv[3], 15, bin);
}

}  // namespace

int main(int argc, char** argv) {
    long domain = 0, instrument = 0, bin = 0;
    if (!ReadArguments(argc, argv, domain, instrument, bin)) {
        std::fprintf(
            stderr,
            "usage: %s DOMAIN INSTRUMENT BIN DESCRIPTION PROFILE.xml (DOMAIN 0..%ld, INSTRUMENT and BIN 0..15)\n",
            argv[0], ChannelTopic::highestDomain);
        return 2;
    }
    ChannelTopic channels;
    std::string problem = channels.Open(static_cast<uint32_t>(domain), argv[5]);
    DataWriter* writer = problem.empty() ? channels.CreateWriter(static_cast<int>(instrument)) : nullptr;
    if (!writer) {
        std::fprintf(stderr, "%s: %s\n", argv[0], problem.empty() ? "cannot create the writer" : problem.c_str());
        return 1;
    }
    LumivexBridge::ChannelSample sample = ExampleState(static_cast<int>(instrument), static_cast<int>(bin), argv[4]);
    if (!writer->write(&sample)) {
        std::fprintf(stderr, "%s: cannot write the state\n", argv[0]);
        return 1;
    }
    std::printf("%s\n", ChannelTopic::Describe(sample).c_str());
    std::fflush(stdout);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
