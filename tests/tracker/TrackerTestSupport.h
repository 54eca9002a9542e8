#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "channel/ChannelState.h"
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/types.h>

#include "platform/SharedMemory.h"
#include "tests/support/SharedObjectPath.h"
#include "server/ChannelWriter.h"
#include "channel/TrackerClient.h"

// Gives every test its own object-name prefix, so tests and other runs never
// meet, and removes every channel name of that prefix before and after.
class SharedMemoryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& Prefix() const { return prefix; }
    // The file behind this test's object `name`.
    std::string Path(const std::string& name) const { return testsupport::SharedObjectPath(prefix, name); }

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

// Selects and attaches `bin` and takes its lock, for a test of what happens
// while it is held; the caller calls client.Unlock().
bool BeginStationRead(TrackerClient& client, int bin);

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

// A server that keeps the write sequence, as docs/layout.md tells third-party
// servers to: every write makes the sequence odd under the mutex, writes, and
// makes it even again. Its content is the counter motion: write n puts n in
// the write count and in every float of every record.
class SequencedServer {
public:
    // Creates the channel of instrument 0, `bin`, with its first content and
    // the mark (so readers find it whole), the region with `regionMode`, the
    // mutex object with `mutexMode`, both given to group `group`.
    bool Open(int bin, unsigned regionMode, unsigned mutexMode, gid_t group);
    // One write under the mutex; false when the mutex could not be taken.
    bool Write(uint32_t count);
    bool Unlink() { return writer && writer->Unlink(); }

private:
    std::unique_ptr<ChannelWriter> writer;
    platform::RegionHandle region = platform::noRegion;
    platform::RegionView view;
    uint32_t sequence = 0;
};

// Marks a region as one whose server keeps the write sequence, at an even
// value, unless it is marked already; false when it cannot.
bool MarkSequence(const std::string& regionName);

// The counter motion's content for write n.
ChannelState CounterState(uint32_t count);

// The user a test takes for "another user", and the group it makes the
// channels' group.
constexpr uid_t otherUser = 65534;
constexpr gid_t otherGroup = 65534;

// Runs `body` in a child process as otherUser, with otherGroup as its only
// group; the child's exit status is what `body` returns. Its process id.
pid_t StartAsOtherUser(const std::function<int()>& body);
// The exit code of a child started so, or -signal; -1000 when it cannot be waited for.
int WaitForChild(pid_t child);

// A server process of instrument 0 that dies in the middle of a write of
// `bin`, published before: it takes the mutex, makes the write sequence odd
// (or, with `keepSequence` false, clears the sequence's mark, as a server
// that keeps none), puts `x` into station 0's x and ends holding the mutex.
// True once it ended so.
bool DieInTheMiddleOfAWrite(int bin, float x, bool keepSequence);

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
