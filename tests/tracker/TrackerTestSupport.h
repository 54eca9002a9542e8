#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/types.h>

#include "tracker/TrackerClient.h"

// Gives every test its own object-name prefix, so tests and other runs never
// meet, and removes every channel name of that prefix before and after.
class SharedMemoryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& Prefix() const { return prefix; }

private:
    std::string prefix;
};

// A lumivex-publisher process started for a test.
class Publisher {
public:
    explicit Publisher(const std::vector<std::string>& arguments);
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Waits for the end; the raw wait status.
    int Wait();
    void Terminate();

    // Runs a publisher to its end; its exit status, or -signal when killed.
    static int Run(const std::vector<std::string>& arguments);

private:
    pid_t pid = -1;
};

int ExitCode(int waitStatus);

// Region and mutex names of a channel, as the tracking server creates them.
std::string RegionName(int instrument, int channel);
std::string MutexName(int instrument, int channel);

// Reads station `station` of `bin` until its first float is at least
// `minimum`; false if that never happens within a generous number of tries.
bool WaitForFirstFloat(TrackerClient& client, int bin, int station, float minimum);

// Sleeps as long as one frame of a viewer running at 60 frames a second: a
// channel created, removed or replaced is seen by the first Attach after it.
void WaitOneFrame();

// Writes `value` into the 32-bit field at `fieldOffset` of the pthread_mutex_t
// in the mutex object at `path` (e.g. offsetof(pthread_mutex_t, __data.__kind)),
// through a mapping, which the watch on shared objects does not see; the
// field's previous value goes to `previous` when given.
bool PokeMutexField(const std::string& path, std::size_t fieldOffset, int32_t value, int32_t* previous = nullptr);

// Open descriptors and mappings of this process, to show that nothing leaks.
int OpenDescriptorCount();
int MappingCount(const std::string& namePart);

// Benchmarks, run by hand: names the publisher beside the running program
// unless LUMIVEX_BIN already names a directory.
void UsePublisherBesideThisProgram(const char* program);
void UsePrefix(const std::string& prefix);

// What the tracker benchmarks read: all sixteen bins written once under
// `fullPrefix`, and a live publisher with its default bins under
// `publishedPrefix`. Both are gone again when the object goes.
class BenchChannels {
public:
    BenchChannels(std::string fullPrefix, std::string publishedPrefix);
    ~BenchChannels();
    BenchChannels(const BenchChannels&) = delete;
    BenchChannels& operator=(const BenchChannels&) = delete;

    bool Publish();

private:
    std::string fullPrefix;
    std::string publishedPrefix;
    std::unique_ptr<Publisher> running;
};
