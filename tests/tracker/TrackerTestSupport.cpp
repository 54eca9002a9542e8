#include "tests/tracker/TrackerTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "platform/SharedMemory.h"
#include "tracker/ShMemChannelSet.h"
#include "tracker/StationReader.h"

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

std::string RegionName(int instrument, int channel) {
    return NameOf(ChannelObject::Region, instrument, channel).text;
}

std::string MutexName(int instrument, int channel) {
    return NameOf(ChannelObject::Mutex, instrument, channel).text;
}

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
