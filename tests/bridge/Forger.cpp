// A stranger on the bridge's DDS domain, written from the sample type: it
// creates a writer in every instrument's partition that it is let into and
// writes states of one target instrument through each of them for a while.
//
//   bridge-forger DOMAIN INSTRUMENT SECONDS [MEMBER-FOLDER]
//
// With a member folder it joins as that rig member, else as a plain
// participant. It prints "writers: N" and, at the end, "samples: N".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bridge/BridgeDomain.h"
#include "bridge/SampleCodec.h"
#include "bridge/SecuritySettings.h"

namespace {

std::vector<dds_entity_t> WritersWhereLetIn(const BridgeDomain& domain) {
    std::vector<dds_entity_t> writers;
    dds_qos_t* qos = BridgeDomain::StateQos();
    for (int partition = 0; partition < 16; ++partition) {
        dds_qos_t* partitionQos = BridgeDomain::InstrumentQos(partition);
        dds_entity_t publisher = dds_create_publisher(domain.Participant(), partitionQos, nullptr);
        dds_delete_qos(partitionQos);
        dds_entity_t writer = dds_create_writer(publisher, domain.Topic(), qos, nullptr);
        if (writer > 0) writers.push_back(writer);
    }
    dds_delete_qos(qos);
    return writers;
}

ChannelState Forged(uint32_t count) {
    ChannelState state;
    state.writeCount = count;
    state.flags = 0xBAD;
    state.description = "forged";
    for (StationRecord& record : state.records) record.x = 666.0f;
    return state;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return std::fprintf(stderr, "usage: bridge-forger DOMAIN INSTRUMENT SECONDS [MEMBER-FOLDER]\n"), 2;
    SecuritySettings security;
    std::string error;
    if (argc > 4 && !security.Load(argv[4], error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    BridgeDomain domain;
    if (!domain.Open(std::atoi(argv[1]), argc > 4 ? &security : nullptr, error))
        return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    std::vector<dds_entity_t> writers = WritersWhereLetIn(domain);
    std::printf("writers: %zu\n", writers.size());
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
    uint32_t count = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int bin : {0, 5}) {
            EncodedSample sample(std::atoi(argv[2]), bin, Forged(++count));
            for (dds_entity_t writer : writers) dds_write(writer, &sample.Sample());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("samples: %u\n", count);
    return 0;
}
