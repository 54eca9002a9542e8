// lumivex-bridge's rig commands and --rig as a user meets them: the files a
// member folder holds, and what the program refuses, with which words.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "rig/RigCrypto.h"
#include "rig/RigDocuments.h"
#include "tests/bridge/BridgeTestSupport.h"
#include "tests/support/DdsLoopback.h"

namespace {

using namespace testsupport;
using bridgetest::Program;
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
    // RIG at the start of an argument stands for the rig's folder, ME for this user's uid.
    std::vector<std::string> InRig(std::vector<std::string> arguments) {
        for (std::string& argument : arguments) {
            for (size_t at = argument.find("ME"); at != std::string::npos; at = argument.find("ME"))
                argument.replace(at, 2, std::to_string(geteuid()));
            if (argument.rfind("RIG", 0) == 0) argument = Rig() + argument.substr(3);
        }
        return arguments;
    }

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

constexpr unsigned otherUser = 65534;

// Whether user 65534 can open any of `paths` for reading.
bool OtherUserOpensAny(const std::vector<std::string>& paths) {
    pid_t child = fork();
    if (child == 0) {
        if (setgid(otherUser) != 0 || setuid(otherUser) != 0) _exit(2);
        for (const std::string& path : paths)
            if (open(path.c_str(), O_RDONLY) >= 0) _exit(1);
        _exit(0);
    }
    int status = 0;
    return waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
}

RigCrypto::Certificate CertificateIn(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return RigCrypto::ReadCertificate(text.str());
}

// A member folder holds exactly what other DDS programs expect, the key
// owner-only, and a grant for the instruments given and no others. Keys are
// created owner-only in owner-only folders, so no other user ever reaches
// them, even where the folders above may be entered by everyone.
TEST_F(RigCommandTest, AddMakesAFolderToCopyToOneMachine) {
    fs::permissions(files, fs::perms(0755));
    Succeeds({"rig", "init", Rig()});
    Succeeds({"rig", "add", Rig(), "server-1", "--send", "0,3"});
    const std::string member = Rig() + "/server-1";
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(member)) names.insert(entry.path().filename());
    EXPECT_EQ(names,
              (std::set<std::string>{"ca.pem", "governance.p7s", "identity.key", "identity.pem", "permissions.p7s"}));
    for (const std::string& folder : {Rig(), member}) EXPECT_EQ(Mode(folder), fs::perms::owner_all) << folder;
    EXPECT_EQ(Mode(member + "/identity.key"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Mode(Rig() + "/ca.key"), fs::perms::owner_read | fs::perms::owner_write);
    if (geteuid() == 0) {
        EXPECT_FALSE(OtherUserOpensAny({member + "/identity.key", Rig() + "/ca.key"}));
    }
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
    for (const char* shown :
         {"Usage: lumivex-bridge rig init [OPTIONS] DIR", "Usage: lumivex-bridge rig add [OPTIONS] DIR NAME",
          "--send LIST", "--receive", "Usage: lumivex-bridge rig renew [OPTIONS] DIR NAME", "--days N"})
        EXPECT_NE(run.output.find(shown), std::string::npos) << shown << "\n" << run.output;
}

// An init that fails half way takes back what it wrote, so that the next try
// finds no authority in the way.
TEST_F(RigCommandTest, FailedInitLeavesNothing) {
    ASSERT_TRUE(fs::create_directory(Rig()));
    std::ofstream(Rig() + "/governance.p7s") << "in the way";
    Outcome run = RunBridge({"rig", "init", Rig()});
    EXPECT_TRUE(run.finished && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.output;
    EXPECT_NE(run.output.find(Rig() + "/governance.p7s: cannot write it: it exists already"), std::string::npos)
        << run.output;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Rig())) names.insert(entry.path().filename());
    EXPECT_EQ(names, std::set<std::string>{"governance.p7s"});
    fs::remove(Rig() + "/governance.p7s");
    Succeeds({"rig", "init", Rig()});
}

// A full disk, as the file-size limit makes one for the programs started
// while it is set: a write past `bytes` fails (EFBIG) instead of ending them.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit limited {
            bytes, saved.rlim_max
        };
        set = bytes <= saved.rlim_max && setrlimit(RLIMIT_FSIZE, &limited) == 0;
        handler = signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, handler);
    }
    bool Set() const { return set; }

private:
    struct rlimit saved {};
    bool set = false;
    void (*handler)(int) = nullptr;
};

// Every file under `folder` with its text; empty when there is no folder.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code missing;
    for (fs::recursive_directory_iterator entry(folder, missing), end; entry != end; ++entry) {
        std::ifstream in(entry->path());
        std::ostringstream text;
        text << in.rdbuf();
        files[entry->path()] = entry->is_directory() ? "(folder)" : text.str();
    }
    return files;
}

// The record filled to `room` bytes short of `bytes` with entries of other names.
void FillRecord(const std::string& rig, size_t bytes, size_t room) {
    std::ofstream record(rig + "/issued", std::ios::app);
    const std::string line = "filler 1 0 2030-01-01T00:00:00\n";
    for (size_t size = fs::file_size(rig + "/issued"); size + line.size() <= bytes - room; size += line.size())
        record << line;
}

struct CutShort {
    const char* name;
    bool initFirst;
    rlim_t limit;
    size_t recordRoom;  // 0: the record is left as it is
    std::vector<std::string> command;
};

// The record's room is shorter than its next line.
const CutShort cutShort[] = {
    {"Init", false, 1024, 0, {"rig", "init", "RIG"}},
    {"Add", true, 1024, 0, {"rig", "add", "RIG", "m", "--send", "0"}},
    {"RecordLine", true, 64 * 1024, 20, {"rig", "add", "RIG", "m", "--receive"}},
};

void PrintTo(const CutShort& cut, std::ostream* out) { *out << cut.name; }

class RigFullDiskTest : public RigCommandTest, public ::testing::WithParamInterface<CutShort> {};

// A command that fails half way for a full disk takes back what it wrote,
// files cut short included, so that the same command succeeds once there is room.
TEST_P(RigFullDiskTest, LeavesTheRigAsItWas) {
    const CutShort& cut = GetParam();
    if (cut.initFirst) Succeeds({"rig", "init", Rig()});
    if (cut.recordRoom) FillRecord(Rig(), cut.limit, cut.recordRoom);
    const std::vector<std::string> command = InRig(cut.command);
    const auto before = Snapshot(Rig());
    {
        FileSizeLimit full(cut.limit);
        if (!full.Set()) GTEST_SKIP() << "the file-size limit cannot be lowered to " << cut.limit << " bytes";
        Outcome run = RunBridge(command);
        ASSERT_TRUE(run.finished && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.output;
        EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
    }
    EXPECT_EQ(Snapshot(Rig()), before);
    Succeeds(command);
}

INSTANTIATE_TEST_SUITE_P(Rig, RigFullDiskTest, ::testing::ValuesIn(cutShort),
                         [](const auto& info) { return std::string(info.param.name); });

// Renewal certifies the same key again, for the instruments it had, and the
// authority's record keeps both certificates under the one name.
TEST_F(RigCommandTest, RenewExtendsTheSameIdentity) {
    Succeeds({"rig", "init", Rig()});
    Succeeds({"rig", "add", Rig(), "m", "--send", "0,3", "--days", "3"});
    const std::string member = Rig() + "/m";
    RigCrypto::Certificate old = CertificateIn(member + "/identity.pem");
    Succeeds({"rig", "renew", Rig(), "m"});
    RigCrypto::Certificate renewed = CertificateIn(member + "/identity.pem");
    ASSERT_TRUE(old && renewed);
    EXPECT_EQ(EVP_PKEY_eq(RigCrypto::KeyOf(old.get()), RigCrypto::KeyOf(renewed.get())), 1);
    std::time_t oldEnd = 0, newEnd = 0, grantEnd = 0;
    ASSERT_TRUE(RigCrypto::ValidUntil(old.get(), oldEnd) && RigCrypto::ValidUntil(renewed.get(), newEnd));
    EXPECT_NEAR(static_cast<double>(newEnd - oldEnd), 87.0 * 24 * 3600, 60.0);
    const std::string grant = Text(member + "/permissions.p7s");
    ASSERT_TRUE(RigDocuments::GrantValidUntil(grant, grantEnd));
    EXPECT_NEAR(static_cast<double>(grantEnd), static_cast<double>(newEnd), 60.0);
    for (const char* partition : {"lumivex-instrument-0<", "lumivex-instrument-3<"})
        EXPECT_NE(grant.find(partition), std::string::npos) << grant;
    const std::string record = Text(Rig() + "/issued");
    EXPECT_EQ(record, "m " + RigCrypto::Serial(old.get()) + " 9 " + RigDocuments::Timestamp(oldEnd) + "\n" + "m " +
                          RigCrypto::Serial(renewed.get()) + " 9 " + RigDocuments::Timestamp(newEnd) + "\n");
}

// A grant that ends within a week is told of once as the bridge starts,
// while it still joins the rig.
TEST_F(RigCommandTest, WarnsOfAnEndWithinAWeek) {
    Succeeds({"rig", "init", Rig()});
    Succeeds({"rig", "add", Rig(), "m", "--send", "3", "--days", "3"});
    Program sender;
    const std::string prefix = "lvxrigcmd" + std::to_string(getpid()) + "_";
    ASSERT_TRUE(sender.process.Start(
        {{ProgramPath("lumivex-bridge"), "send", "--instrument", "3", "--rig", Rig() + "/m", "--domain",
          std::to_string(1 + getpid() % 200)},
         ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix, std::string("CYCLONEDDS_URI=") + ddsLoopbackOnly}),
         sender.output.Path()}));
    ASSERT_NE(sender.output.WaitFor("sending instrument 3", 0, bridgetest::patience), std::string::npos)
        << sender.output.Text();
    const std::string output = sender.output.Text();
    const std::string warning = "warning: " + Rig() + "/m/identity.pem: expires on ";
    EXPECT_NE(output.find(warning), std::string::npos) << output;
    EXPECT_EQ(output.find("expires on", output.find(warning) + warning.size()), std::string::npos) << output;
}

// Cyclone's trace at "finest" holds the session's keys: the file the bridge
// has Cyclone write is its user's only, whatever the umask would allow.
TEST_F(RigCommandTest, CycloneTraceIsPrivate) {
    Succeeds({"rig", "init", Rig()});
    Succeeds({"rig", "add", Rig(), "m", "--send", "3"});
    const std::string trace = files + "/trace.log";
    const std::string tracing =
        "<Tracing><Verbosity>finest</Verbosity><OutputFile>" + trace + "</OutputFile></Tracing>";
    Program sender;
    const mode_t umaskBefore = umask(022);
    ASSERT_TRUE(
        sender.process.Start({{ProgramPath("lumivex-bridge"), "send", "--instrument", "3", "--rig", Rig() + "/m",
                               "--domain", std::to_string(1 + getpid() % 200)},
                              ChildEnvironment({"LUMIVEX_SHM_PREFIX=lvxrigcmd" + std::to_string(getpid()) + "_",
                                                std::string("CYCLONEDDS_URI=") + ddsLoopbackOnly + "," + tracing}),
                              sender.output.Path()}));
    umask(umaskBefore);
    ASSERT_NE(sender.output.WaitFor("sending instrument 3", 0, bridgetest::patience), std::string::npos)
        << sender.output.Text();
    EXPECT_EQ(Mode(trace), fs::perms::owner_read | fs::perms::owner_write);
}

// What an attacker (or a careless hand) did to the rig's files before the command.
using Plant = bool (*)(const std::string& rig);

bool Nothing(const std::string&) { return true; }

bool AddMode(const std::string& path, fs::perms bits) {
    std::error_code failure;
    fs::permissions(path, bits, fs::perm_options::add, failure);
    return !failure;
}

bool GiveAway(const std::string& path) { return chown(path.c_str(), otherUser, static_cast<gid_t>(-1)) == 0; }

bool OpenFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 && chmod(path.c_str(), 0777) == 0; }

// `path` becomes a link to a file of the same kind elsewhere.
bool LinkInstead(const std::string& path, const std::string& target) {
    return rename(path.c_str(), target.c_str()) == 0 && symlink(target.c_str(), path.c_str()) == 0;
}

// The member's certificate replaced by one for another key: signed by the
// authority (but never recorded), valid for `days`, or self-signed.
bool PlantCertificate(const std::string& rig, long days, bool selfSigned) {
    std::ifstream in(rig + "/ca.key");
    std::ostringstream key;
    key << in.rdbuf();
    RigCrypto::Key authorityKey = RigCrypto::ReadKey(key.str()), memberKey = RigCrypto::NewKey();
    RigCrypto::Certificate authority = CertificateIn(rig + "/ca.pem");
    RigCrypto::Certificate planted =
        selfSigned                  ? RigCrypto::NewAuthority(memberKey.get(), "m")
        : authority && authorityKey ? RigCrypto::Issue(authority.get(), authorityKey.get(), memberKey.get(), "m", days)
                                    : nullptr;
    std::ofstream out(rig + "/m/identity.pem", std::ios::trunc);
    return planted && out << RigCrypto::CertificatePem(planted.get());
}

bool ExpiredCertificate(const std::string& rig) { return PlantCertificate(rig, -2, false); }

struct Refusal {
    const char* name;
    std::vector<std::string> before;  // run after "rig init RIG"; RIG stands for the rig's folder
    Plant plant;
    std::vector<std::string> command;
    int status;
    const char* says;  // ME stands for this user's uid
    bool needsRoot = false;
};

const Refusal refusals[] = {
    {"SecondAuthority", {}, Nothing, {"rig", "init", "RIG"}, 1, "holds a rig authority already"},
    {"ReissuedName",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return fs::remove_all(rig + "/m") > 0; },
     {"rig", "add", "RIG", "m", "--send", "1"},
     1,
     "RIG/m: this name was issued before"},
    {"RenewOfANameNeverIssued", {}, Nothing, {"rig", "renew", "RIG", "m"}, 1, "RIG/m: this authority never issued"},
    {"NameWithSlash", {}, Nothing, {"rig", "add", "RIG", "a/b", "--receive"}, 1, "a name is"},
    {"NoRole", {}, Nothing, {"rig", "add", "RIG", "m"}, 2, "--send"},
    {"AuthorityKeyReadable",
     {},
     [](const std::string& rig) { return AddMode(rig + "/ca.key", fs::perms::others_read); },
     {"rig", "add", "RIG", "m", "--receive"},
     1,
     "RIG/ca.key (owner uid ME, mode 0604): other users may use this private key"},
    {"AuthorityFolderWritableByOthers",
     {},
     [](const std::string& rig) { return OpenFolder(rig + "/pub"); },
     {"rig", "init", "RIG/pub"},
     1,
     "RIG/pub (owner uid ME, mode 0777): other users may write it"},
    {"ParentWritableByOthersNotSticky",
     {},
     [](const std::string& rig) { return OpenFolder(rig + "/pub"); },
     {"rig", "init", "RIG/pub/rig"},
     1,
     "RIG/pub (owner uid ME, mode 0777): other users may write this folder and it is not sticky"},
    {"AuthorityGovernanceALink",
     {},
     [](const std::string& rig) { return LinkInstead(rig + "/governance.p7s", rig + "/../elsewhere"); },
     {"rig", "add", "RIG", "m", "--receive"},
     1,
     "RIG/governance.p7s: cannot read it: it is a symbolic link"},
    {"MemberKeyReadable",
     {"rig", "add", "RIG", "m", "--send", "0"},
     [](const std::string& rig) { return AddMode(rig + "/m/identity.key", fs::perms::others_read); },
     {"send", "--rig", "RIG/m"},
     1,
     "RIG/m/identity.key (owner uid ME, mode 0604): other users may use this private key"},
    {"MemberFolderWritableByOthers",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return AddMode(rig + "/m", fs::perms::all); },
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m (owner uid ME, mode 0777): other users may write it"},
    {"MemberGrantWritableByGroup",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return AddMode(rig + "/m/permissions.p7s", fs::perms::group_write); },
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m/permissions.p7s (owner uid ME, mode 0664): other users may write it"},
    {"MemberFolderALink",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return symlink((rig + "/m").c_str(), (rig + "/l").c_str()) == 0; },
     {"receive", "--rig", "RIG/l"},
     1,
     "RIG/l: it is a symbolic link"},
    {"MemberCertificateALink",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return LinkInstead(rig + "/m/identity.pem", rig + "/../elsewhere"); },
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m/identity.pem: cannot read it: it is a symbolic link"},
    {"MemberKeyOfAnotherUser",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return GiveAway(rig + "/m/identity.key"); },
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m/identity.key (owner uid 65534, mode 0600): this private key is not the key of this user",
     true},
    {"MemberFolderOfAnotherUser",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return GiveAway(rig + "/m"); },
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m (owner uid 65534, mode 0700): it belongs to neither this user (uid ME) nor root",
     true},
    {"MemberCaOfAnotherUser",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return GiveAway(rig + "/m/ca.pem"); },
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m/ca.pem (owner uid 65534, mode 0644): it belongs to neither",
     true},
    {"ExpiredCertificate",
     {"rig", "add", "RIG", "m", "--receive"},
     ExpiredCertificate,
     {"receive", "--rig", "RIG/m"},
     1,
     "RIG/m/identity.pem: expired on"},
    {"RenewOfAForeignKey",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return PlantCertificate(rig, 30, true); },
     {"rig", "renew", "RIG", "m"},
     1,
     "RIG/m/identity.pem: not a certificate this authority issued to \"m\""},
    {"RenewOfAKeyNeverRecorded",
     {"rig", "add", "RIG", "m", "--receive"},
     [](const std::string& rig) { return PlantCertificate(rig, 30, false); },
     {"rig", "renew", "RIG", "m"},
     1,
     "RIG/m/identity.pem: not a certificate this authority issued to \"m\""},
    {"NotAMemberFolder", {}, Nothing, {"receive", "--rig", "RIG"}, 1, "RIG/identity.pem: missing"},
    {"SecureDomainTooHigh",
     {"rig", "add", "RIG", "m", "--send", "0"},
     Nothing,
     {"send", "--rig", "RIG/m", "--domain", "231"},
     1,
     "domains 0..230"},
    {"OptionAsValue", {}, Nothing, {"receive", "--rig", "--bins"}, 2, "'--bins' is an option, not a value"},
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RigRefusalTest : public RigCommandTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RigRefusalTest, RefusesWithReason) {
    const Refusal& refusal = GetParam();
    if (refusal.needsRoot && geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
    Succeeds({"rig", "init", Rig()});
    if (!refusal.before.empty()) Succeeds(InRig(refusal.before));
    ASSERT_TRUE(refusal.plant(Rig()));
    Outcome run = RunBridge(InRig(refusal.command));
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == refusal.status) << run.output;
    EXPECT_NE(run.output.find(InRig({refusal.says})[0]), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Rig, RigRefusalTest, ::testing::ValuesIn(refusals),
                         [](const auto& info) { return std::string(info.param.name); });

// No rig is needed to refuse channels that other users could write.
TEST(BridgeOptions, ReceiverRefusesAModeOthersMayWrite) {
    Outcome run = RunBridge({"receive", "--mode", "662"});
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << run.output;
    EXPECT_NE(run.output.find("drop the 002 bit"), std::string::npos) << run.output;
}

}  // namespace
