// lumivex-bridge's rig commands and --rig as a user meets them: the files a
// member folder holds, and what the program refuses, with which words.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/bridge/BridgeTestSupport.h"

namespace {

using namespace testsupport;
using bridgetest::RunBridge;
namespace fs = std::filesystem;

class RigCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/lvxrigcmdXXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        files = folder;
    }
    void TearDown() override { fs::remove_all(files); }

    std::string Rig() const { return files + "/rig"; }

    void Succeeds(const std::vector<std::string>& arguments) {
        Outcome run = RunBridge(arguments);
        ASSERT_TRUE(run.finished && run.status == 0) << run.output;
    }
    std::string Text(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string files;
};

fs::perms Mode(const std::string& path) { return fs::status(path).permissions() & fs::perms::mask; }

// A member folder holds exactly what other DDS programs expect, the key
// owner-only, and a grant for the instruments given and no others.
TEST_F(RigCommandTest, AddMakesAFolderToCopyToOneMachine) {
    Succeeds({"rig", "init", Rig()});
    Succeeds({"rig", "add", Rig(), "server-1", "--send", "0,3"});
    const std::string member = Rig() + "/server-1";
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(member)) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"ca.pem", "governance.p7s", "identity.key", "identity.pem",
                                            "permissions.p7s"}));
    EXPECT_EQ(Mode(member + "/identity.key"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Mode(Rig() + "/ca.key"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Text(member + "/ca.pem"), Text(Rig() + "/ca.pem"));
    const std::string grant = Text(member + "/permissions.p7s");
    EXPECT_NE(grant.find("<subject_name>CN=server-1,O=Lumivex rig</subject_name>"), std::string::npos) << grant;
    EXPECT_NE(grant.find("<publish>"), std::string::npos) << grant;
    EXPECT_EQ(grant.find("<subscribe>"), std::string::npos) << grant;
    for (int instrument = 0; instrument < 16; ++instrument)
        EXPECT_EQ(grant.find("lumivex-instrument-" + std::to_string(instrument) + "<") != std::string::npos,
                  instrument == 0 || instrument == 3)
            << instrument;
}

// --help-all, which the manual page is made from, shows every command at
// every level with its usage and options, not only the names of those below "rig".
TEST_F(RigCommandTest, HelpAllShowsEveryLevelOfCommands) {
    Outcome run = RunBridge({"--help-all"});
    ASSERT_TRUE(run.finished && run.status == 0) << run.output;
    for (const char* shown : {"Usage: lumivex-bridge rig init [OPTIONS] DIR",
                              "Usage: lumivex-bridge rig add [OPTIONS] DIR NAME", "--send LIST", "--receive"})
        EXPECT_NE(run.output.find(shown), std::string::npos) << shown << "\n" << run.output;
}

struct Refusal {
    const char* name;
    std::vector<std::string> before;  // run after "rig init RIG"; RIG stands for the rig's folder
    std::vector<std::string> command;
    const char* changedFile;          // made readable by others (or given away) before the command, if any
    int status;
    const char* says;
    bool giveAway = false;            // give changedFile to another user instead, keeping its mode
};

constexpr unsigned otherUser = 65534;

const Refusal refusals[] = {
    {"SecondAuthority", {}, {"rig", "init", "RIG"}, "", 1, "holds a rig authority already"},
    {"ExistingMember", {"rig", "add", "RIG", "m", "--receive"}, {"rig", "add", "RIG", "m", "--send", "1"}, "", 1,
     "RIG/m: exists already"},
    {"NameWithSlash", {}, {"rig", "add", "RIG", "a/b", "--receive"}, "", 1, "a name is"},
    {"NoRole", {}, {"rig", "add", "RIG", "m"}, "", 2, "--send"},
    {"AuthorityKeyReadable", {}, {"rig", "add", "RIG", "m", "--receive"}, "ca.key", 1,
     "RIG/ca.key: other users may use this private key (mode 0604)"},
    {"MemberKeyReadable", {"rig", "add", "RIG", "m", "--send", "0"}, {"send", "--rig", "RIG/m"}, "m/identity.key", 1,
     "RIG/m/identity.key: other users may use this private key (mode 0604)"},
    {"MemberKeyOfAnotherUser", {"rig", "add", "RIG", "m", "--receive"}, {"receive", "--rig", "RIG/m"},
     "m/identity.key", 1, "RIG/m/identity.key: this private key belongs to uid 65534", true},
    {"NotAMemberFolder", {}, {"receive", "--rig", "RIG"}, "", 1, "RIG/identity.pem: missing"},
    {"SecureDomainTooHigh", {"rig", "add", "RIG", "m", "--send", "0"}, {"send", "--rig", "RIG/m", "--domain", "231"},
     "", 1, "domains 0..230"},
    {"ModeWritableByOthers", {}, {"receive", "--mode", "662"}, "", 2, "drop the 002 bit"},
    {"OptionAsValue", {}, {"receive", "--rig", "--bins"}, "", 2, "'--bins' is an option, not a value"},
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RigRefusalTest : public RigCommandTest, public ::testing::WithParamInterface<Refusal> {
protected:
    std::vector<std::string> InRig(std::vector<std::string> arguments) {
        for (std::string& argument : arguments)
            if (argument.rfind("RIG", 0) == 0) argument = Rig() + argument.substr(3);
        return arguments;
    }
};

TEST_P(RigRefusalTest, RefusesWithReason) {
    const Refusal& refusal = GetParam();
    if (refusal.giveAway && geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
    Succeeds({"rig", "init", Rig()});
    if (!refusal.before.empty()) Succeeds(InRig(refusal.before));
    const std::string changed = Rig() + "/" + refusal.changedFile;
    if (refusal.giveAway)
        ASSERT_EQ(chown(changed.c_str(), otherUser, static_cast<gid_t>(-1)), 0);
    else if (*refusal.changedFile)
        fs::permissions(changed, fs::perms::others_read, fs::perm_options::add);
    Outcome run = RunBridge(InRig(refusal.command));
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == refusal.status) << run.output;
    EXPECT_NE(run.output.find(InRig({refusal.says})[0]), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Rig, RigRefusalTest, ::testing::ValuesIn(refusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
