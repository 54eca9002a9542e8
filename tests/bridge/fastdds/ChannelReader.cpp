// A Fast DDS program that reads the channel states lumivex-bridge sends and
// prints one line per state (ChannelTopic::Describe).
//
//   fastdds-channel-reader DOMAIN [PROFILE.xml]
//
// Runs until it is ended (Ctrl-C).
#include <cstdio>
#include <cstdlib>

#include <fastdds/dds/subscriber/SampleInfo.hpp>

#include "ChannelTopic.h"

using namespace eprosima::fastdds::dds;

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s DOMAIN [PROFILE.xml]\n", argv[0]);
        return 2;
    }
    ChannelTopic channels;
    std::string problem = channels.Open(static_cast<uint32_t>(std::atoi(argv[1])), argc == 3 ? argv[2] : "");
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
