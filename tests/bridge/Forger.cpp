// A stranger on the bridge's DDS domain, written from the sample type: it
// creates a writer in every instrument's partition that it is let into and
// writes states of one target instrument through each of them for a while.
//
//   bridge-forger DOMAIN INSTRUMENT SECONDS [MEMBER-FOLDER]
//   bridge-forger DOMAIN INSTRUMENT SECONDS --keys N
//   bridge-forger DOMAIN INSTRUMENT SECONDS --once BIN [MEMBER-FOLDER]
//
// With a member folder it joins as that rig member, else as a plain
// participant. It prints "writers: N" and, at the end, "samples: N". With
// --keys it instead writes one sample of each of N keys that are no channel
// (the instrument's bins 16 and up) through the instrument's partition,
// prints "keys: N", and stays, with the instances registered, for SECONDS.
// With --once it does the same with one state of the channel BIN: a live
// writer that sends no heartbeat, as other DDS programs may.
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

// The instances stay registered while the forger runs, as a writer that
// keeps going would leave them.
int ForgeKeys(const BridgeDomain& domain, int instrument, int firstBin, int keys, int seconds) {
    dds_qos_t* partition = BridgeDomain::InstrumentQos(instrument);
    dds_entity_t publisher = dds_create_publisher(domain.Participant(), partition, nullptr);
    dds_delete_qos(partition);
    dds_qos_t* qos = BridgeDomain::StateQos();
    dds_entity_t writer = dds_create_writer(publisher, domain.Topic(), qos, nullptr);
    dds_delete_qos(qos);
    for (int key = 0; key < keys; ++key) {
        EncodedSample sample(instrument, firstBin + key, Forged(key));
        if (dds_write(writer, &sample.Sample()) < 0) return std::fprintf(stderr, "write failed\n"), 1;
    }
    dds_wait_for_acks(writer, DDS_SECS(60));
    std::printf("keys: %d\n", keys);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 4) return std::fprintf(stderr, "usage: bridge-forger DOMAIN INSTRUMENT SECONDS [MEMBER-FOLDER]\n"), 2;
    const bool keys = argc > 5 && std::string(argv[4]) == "--keys";
    const bool once = argc > 5 && std::string(argv[4]) == "--once";
    SecuritySettings security;
    std::string error;
    const char* folder = argc > 4 && !keys && !once ? argv[4] : once && argc > 6 ? argv[6] : nullptr;
    const bool member = folder != nullptr;
    if (member && !security.Load(folder, error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    BridgeDomain domain;
    if (!domain.Open(std::atoi(argv[1]), member ? &security : nullptr, error))
        return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    if (keys) return ForgeKeys(domain, std::atoi(argv[2]), 16, std::atoi(argv[5]), std::atoi(argv[3]));
    if (once) return ForgeKeys(domain, std::atoi(argv[2]), std::atoi(argv[5]), 1, std::atoi(argv[3]));
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
