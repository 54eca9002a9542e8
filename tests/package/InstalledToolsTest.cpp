// The tools as an installed rig uses them: each names its version, and the
// group of the channels decides who may watch them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/tracker/TrackerTestSupport.h"

namespace {

using namespace testsupport;

const Milliseconds runLimit(10000);

int ExitStatus(const Outcome& run) { return run.finished && WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1; }

std::vector<std::string> Tools() {
    std::vector<std::string> tools;
    std::istringstream list(LUMIVEX_TOOLS);
    for (std::string tool; std::getline(list, tool, ',');) tools.push_back(tool);
    return tools;
}

// A development build adds its commit to the release (0.4.0+g1a2b3c4).
TEST(InstalledToolsTest, EveryToolAnswersVersionWithItsNameAndTheProjectVersion) {
    const std::string release = std::regex_replace(LUMIVEX_VERSION, std::regex("\\."), "\\.");
    for (const std::string& tool : Tools()) {
        Outcome run = RunToEnd({ProgramPath(tool), "--version"}, ChildEnvironment({}), runLimit);

        EXPECT_EQ(ExitStatus(run), 0) << tool << ": " << run.output;
        EXPECT_TRUE(std::regex_match(run.output, std::regex(tool + " " + release + "(\\+g[0-9a-f]{7,})?\n")))
            << tool << ": " << run.output;
    }
}

// Channels root:watchGroup, the region mode 0640 and the mutex object 0600,
// as the bridge's receive service creates them (root, group lumivex), watched
// read-only by a user who is not root. Neither id needs an entry in
// /etc/passwd or /etc/group.
constexpr uid_t watcher = 46123;
constexpr gid_t watcherGroup = 46124;
constexpr gid_t watchGroup = 46125;

class WatchGroupTest : public SharedMemoryTest {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: it gives the channels to a group and runs the monitor as another user";
        SharedMemoryTest::SetUp();
        ASSERT_EQ(Publisher::Run({"--once", "--bins", "0", "--mode", "0640"}), 0);
        for (const std::string& name : {RegionName(0, 0), MutexName(0, 0)})
            ASSERT_EQ(chown(Path(name).c_str(), 0, watchGroup), 0) << name;
        ASSERT_EQ(chmod(Path(MutexName(0, 0)).c_str(), 0600), 0);
        CopyMonitorWhereTheWatcherReachesIt();
    }

    void TearDown() override {
        if (!folder.empty()) std::filesystem::remove_all(folder);
        SharedMemoryTest::TearDown();
    }

    // The build tree may lie in a folder that only root may enter.
    void CopyMonitorWhereTheWatcherReachesIt() {
        char name[] = "/tmp/lumivex-watch-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        monitor = folder + "/lumivex-monitor";
        std::filesystem::copy_file(ProgramPath("lumivex-monitor"), monitor);
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        ASSERT_EQ(chmod(monitor.c_str(), 0755), 0);
    }

    // Files of a sanitized run that the watcher may not be able to read (a
    // preload, leak suppressions in the build tree) are left out.
    Outcome WatchAs(const std::string& groups) {
        return RunToEnd({"setpriv", "--reuid=" + std::to_string(watcher), "--regid=" + std::to_string(watcherGroup),
                         groups, monitor, "--once", "--bins", "0"},
                        ChildEnvironment({}, {"LD_PRELOAD", "LSAN_OPTIONS"}), runLimit);
    }

    std::string folder, monitor;
};

TEST_F(WatchGroupTest, MembersOfTheChannelsGroupWatchAndOthersAreRefusedWithTheReason) {
    const struct {
        const char* who;
        std::string groups;
        int status;
        const char* shown;
    } cases[] = {
        {"member", "--groups=" + std::to_string(watchGroup), 0, "channel (0,0)"},
        {"outsider", "--clear-groups", 1, "ermission denied"},
    };
    for (const auto& watch : cases) {
        Outcome run = WatchAs(watch.groups);

        EXPECT_EQ(ExitStatus(run), watch.status) << watch.who << ": " << run.output;
        EXPECT_NE(run.output.find(watch.shown), std::string::npos) << watch.who << ": " << run.output;
    }
}

}  // namespace
