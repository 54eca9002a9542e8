#include "tests/tracker/TrackerTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <fstream>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "platform/SharedMemory.h"
#include "channel/ChannelState.h"
#include "channel/ShMemChannelSet.h"
#include "channel/StationReader.h"

extern char** environ;

namespace {

void UnlinkEveryChannel() {
    for (int instrument = 0; instrument < 16; ++instrument) {
        for (int channel = 0; channel < 16; ++channel) {
            platform::UnlinkSharedObject(RegionName(instrument, channel).c_str());
            platform::UnlinkSharedObject(MutexName(instrument, channel).c_str());
        }
    }
}

std::string PublisherPath() {
    const char* directory = std::getenv("LUMIVEX_BIN");
    return std::string(directory ? directory : "build/bin") + "/lumivex-publisher";
}

}  // namespace

void SharedMemoryTest::SetUp() {
    static int testNumber = 0;
    prefix = "lvxtest" + std::to_string(getpid()) + "_" + std::to_string(++testNumber) + "_";
    ASSERT_EQ(setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1), 0);
    UnlinkEveryChannel();
}

void SharedMemoryTest::TearDown() { UnlinkEveryChannel(); }

Publisher::Publisher(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{PublisherPath()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid = -1;
    EXPECT_NE(pid, -1) << "cannot start " << words[0];
}

Publisher::~Publisher() { Terminate(); }

int Publisher::Wait() {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    pid = -1;
    return status;
}

void Publisher::Terminate() {
    if (pid > 0 && kill(pid, SIGTERM) == 0) Wait();
}

int Publisher::Run(const std::vector<std::string>& arguments) { return ExitCode(Publisher(arguments).Wait()); }

int ExitCode(int waitStatus) {
    if (waitStatus == -1) return -1000;
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -WTERMSIG(waitStatus);
}

std::string RegionName(int instrument, int channel) { return NameOf(ChannelObject::Region, instrument, channel).text; }

std::string MutexName(int instrument, int channel) { return NameOf(ChannelObject::Mutex, instrument, channel).text; }

// The mutex sits at its own alignment behind the ready word.
bool PokeMutexField(const std::string& path, std::size_t fieldOffset, int32_t value, int32_t* previous) {
    int descriptor = open(path.c_str(), O_RDWR);
    if (descriptor < 0) return false;
    const std::size_t length = alignof(pthread_mutex_t) + sizeof(pthread_mutex_t);
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    bool closed = close(descriptor) == 0;
    if (base == MAP_FAILED) return false;
    auto* field = reinterpret_cast<int32_t*>(static_cast<char*>(base) + alignof(pthread_mutex_t) + fieldOffset);
    if (previous) *previous = *field;
    *field = value;
    return munmap(base, length) == 0 && closed;
}

bool BeginStationRead(TrackerClient& client, int bin) { return SelectBin(client, bin) && client.Lock(); }

bool WaitForFirstFloat(TrackerClient& client, int bin, int station, float minimum) {
    for (int attempt = 0; attempt < 20000; ++attempt) {
        float pose[6] = {};
        if (ReadStationPose(client, bin, station, pose) && pose[0] >= minimum) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void WaitOneFrame() { std::this_thread::sleep_for(std::chrono::milliseconds(17)); }

int OpenDescriptorCount() {
    DIR* directory = opendir("/proc/self/fd");
    if (!directory) return -1;
    int count = 0;
    while (readdir(directory)) ++count;
    closedir(directory);
    return count;
}

int MappingCount(const std::string& namePart) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) count += line.find(namePart) != std::string::npos;
    return count;
}

ChannelState CounterState(uint32_t count) {
    ChannelState state;
    state.writeCount = count;
    state.flags = 0x21F;
    float value = static_cast<float>(count % (1u << 24));
    for (StationRecord& record : state.records) record = {value, value, value, value, value, value};
    state.description = "sequenced";
    return state;
}

namespace {

bool Share(const std::string& name, unsigned mode, gid_t group) {
    std::string path = testsupport::SharedObjectPath("", platform::SharedObjectName(name.c_str()));
    return chown(path.c_str(), static_cast<uid_t>(-1), group) == 0 && chmod(path.c_str(), mode) == 0;
}

// The first content is in place: the sequence, the writer, and the mark last.
bool MarkMapped(platform::RegionView& view, uint32_t sequence) {
    using namespace station_layout;
    return platform::StoreRegionWord(view, sequenceOffset, sequence) &&
           platform::StoreRegionWord(view, writerProcessOffset, static_cast<uint32_t>(getpid())) &&
           platform::StoreRegionWord(view, sequenceMarkOffset, sequenceMark);
}

}  // namespace

bool MarkSequence(const std::string& regionName) {
    platform::RegionHandle region = platform::OpenRegion(regionName.c_str(), platform::ViewAccess::ReadWrite);
    platform::RegionView view;
    uint32_t mark = 0;
    bool marked = platform::MapRegion(region, platform::ViewAccess::ReadWrite, view) &&
                  platform::LoadRegionWord(view, station_layout::sequenceMarkOffset, mark) &&
                  (mark == station_layout::sequenceMark || MarkMapped(view, 2));
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
    return marked;
}

bool SequencedServer::Open(int bin, unsigned regionMode, unsigned mutexMode, gid_t group) {
    writer = std::make_unique<ChannelWriter>(0, bin);
    if (!writer->Open(0600, CounterState(0))) return false;
    region = platform::OpenRegion(writer->RegionName().c_str(), platform::ViewAccess::ReadWrite);
    sequence = 2;
    return platform::MapRegion(region, platform::ViewAccess::ReadWrite, view) && MarkMapped(view, sequence) &&
           Share(writer->RegionName(), regionMode, group) && Share(writer->MutexName(), mutexMode, group);
}

bool SequencedServer::Write(uint32_t count) {
    if (!writer->Lock()) return false;
    bool written = platform::StoreRegionWord(view, station_layout::sequenceOffset, ++sequence) &&
                   writer->Write(CounterState(count)) &&
                   platform::StoreRegionWord(view, station_layout::sequenceOffset, ++sequence);
    return writer->Unlock() && written;
}

pid_t StartAsOtherUser(const std::function<int()>& body) {
    pid_t child = fork();
    if (child != 0) return child;
    const gid_t groups[] = {otherGroup};
    bool dropped = setgroups(1, groups) == 0 && setgid(otherGroup) == 0 && setuid(otherUser) == 0;
    _exit(dropped ? body() : 100);
}

bool DieInTheMiddleOfAWrite(int bin, float x, bool keepSequence) {
    pid_t child = fork();
    if (child != 0) return WaitForChild(child) == 0;
    using namespace station_layout;
    platform::RegionHandle region = platform::OpenRegion(RegionName(0, bin).c_str(), platform::ViewAccess::ReadWrite);
    platform::RegionView view;
    platform::SharedMutex* mutex = platform::OpenSharedMutex(MutexName(0, bin).c_str());
    uint32_t sequence = 0;
    bool locked = platform::MapRegion(region, platform::ViewAccess::ReadWrite, view) && mutex &&
                  platform::LockSharedMutex(mutex) == platform::LockResult::Acquired &&
                  platform::LoadRegionWord(view, sequenceOffset, sequence);
    bool begun = locked && (keepSequence ? platform::StoreRegionWord(view, sequenceOffset, sequence | 1u)
                                         : platform::StoreRegionWord(view, sequenceMarkOffset, 0));
    _exit(begun && platform::CopyToRegion(view, RecordOffset(0), &x, sizeof x) ? 0 : 1);
}

int WaitForChild(pid_t child) {
    int status = 0;
    if (child <= 0 || waitpid(child, &status, 0) != child) return -1000;
    return ExitCode(status);
}

void UsePublisherBesideThisProgram(const char* program) {
    if (std::getenv("LUMIVEX_BIN")) return;
    std::string self(program);
    std::string directory = self.find('/') == std::string::npos ? "." : self.substr(0, self.rfind('/'));
    setenv("LUMIVEX_BIN", directory.c_str(), 1);
}

void UsePrefix(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

namespace {

const char* const allBins = "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15";

}  // namespace

BenchChannels::BenchChannels(std::string full, std::string published)
    : fullPrefix(std::move(full)), publishedPrefix(std::move(published)) {}

bool BenchChannels::Publish() {
    UsePrefix(fullPrefix);
    if (Publisher::Run({"--once", "--bins", allBins}) != 0) return false;
    UsePrefix(publishedPrefix);
    if (Publisher::Run({"--once"}) != 0) return false;
    running = std::make_unique<Publisher>(std::vector<std::string>{});
    return true;
}

// The live publisher removes its objects when it ends; the others go by name.
BenchChannels::~BenchChannels() {
    running.reset();
    UsePrefix(fullPrefix);
    Publisher::Run({"--unlink", "--bins", allBins});
}
