// A Fast DDS program that reads the channel states lumivex-bridge sends and
// prints one line per state (ChannelTopic::Describe).
//
//   fastdds-channel-reader DOMAIN PROFILE.xml
//
// The profile is required: it keeps the program off every network it is not
// meant for (loopback.xml: 127.0.0.1 only). Runs until it is ended (Ctrl-C).
#include <cstdio>

#include <fastdds/dds/subscriber/SampleInfo.hpp>

#include "ChannelTopic.h"

using namespace eprosima::fastdds::dds;

int main(int argc, char** argv) {
    long domain = 0;
    if (argc != 3 || ChannelTopic::AsksForHelp(argc, argv) ||
        !ChannelTopic::ReadNumber(argv[1], ChannelTopic::highestDomain, domain)) {
        std::fprintf(stderr, "usage: %s DOMAIN PROFILE.xml (DOMAIN 0..%ld)\n", argv[0], ChannelTopic::highestDomain);
        return 2;
    }
    ChannelTopic channels;
    std::string problem = channels.Open(static_cast<uint32_t>(domain), argv[2]);
    DataReader* reader = problem.empty() ? channels.CreateReader() : nullptr;
    if (!reader) {
        std::fprintf(stderr, "%s: %s\n", argv[0], problem.empty() ? "cannot create the reader" : problem.c_str());
        return 1;
    }
    LumivexBridge::ChannelSample sample;
    SampleInfo info;
    for (;;) {
        if (!reader->wait_for_unread_message(eprosima::fastrtps::Duration_t(1, 0))) continue;
        while (reader->take_next_sample(&sample, &info) == ReturnCode_t::RETCODE_OK)
            if (info.valid_data) std::printf("%s\n", ChannelTopic::Describe(sample).c_str());
        std::fflush(stdout);
    }
}
