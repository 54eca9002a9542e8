// The rig's trust in files on Windows: the rule on security descriptors built
// from their text form, and the folder's own files made and read for real.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Folder.h"
#include "platform/win32/FileTrust.h"
#include "platform/win32/ObjectTrust.h"

namespace {

const std::string otherUser = "S-1-5-21-1111-2222-3333-1001";

PSID Me() {
    static const std::vector<unsigned char> user = platform::win32::ProcessUser();
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

struct FileCase {
    const char* name;
    std::string descriptor;  // "ME" stands for this user's SID
    bool mine, system, othersWrite, othersUse;
};

const FileCase fileCases[] = {
    {"PrivateKeyOfThisUser", "O:MED:P(A;;FA;;;ME)", true, false, false, false},
    {"SystemAndAdministratorsMayDoAnything", "O:MED:(A;;FA;;;ME)(A;;FA;;;SY)(A;;FA;;;BA)", true, false, false, false},
    {"OwnedByAdministrators", "O:BAD:(A;;FA;;;BA)", false, true, false, false},
    {"EveryoneMayRead", "O:MED:(A;;FA;;;ME)(A;;FR;;;WD)", true, false, false, true},
    {"UsersMayAppend", "O:MED:(A;;FA;;;ME)(A;;0x4;;;BU)", true, false, true, true},
    {"AnotherUserMayChangeThePermissions", "O:MED:(A;;WD;;;" + otherUser + ")", true, false, true, true},
    {"AnotherUserMayDelete", "O:MED:(A;;SD;;;" + otherUser + ")", true, false, true, true},
    {"InheritOnlyEntriesAreForWhatIsMadeInside", "O:MED:(A;OICIIO;FA;;;WD)(A;;FA;;;ME)", true, false, false, false},
    {"DenyingEveryoneWidensNothing", "O:MED:(D;;FA;;;WD)(A;;FA;;;ME)", true, false, false, false},
    {"OwnedByAnotherUser", "O:" + otherUser + "D:(A;;FA;;;" + otherUser + ")", false, false, false, false},
    {"ReadingThePermissionsIsNotUse", "O:MED:(A;;FA;;;ME)(A;;RC;;;WD)", true, false, false, false},
};

void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }

class FileTrust : public ::testing::TestWithParam<FileCase> {};

TEST_P(FileTrust, TellsOwnerAndWhoElseMayWriteOrRead) {
    const FileCase& c = GetParam();
    ASSERT_NE(Me(), nullptr);
    std::string text = c.descriptor;
    for (std::size_t at = text.find("ME"); at != std::string::npos; at = text.find("ME"))
        text.replace(at, 2, platform::win32::SidText(Me()));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        << text;
    const platform::FileFacts facts = platform::win32::JudgeFile(descriptor, Me());
    LocalFree(descriptor);
    EXPECT_EQ(facts.ownedByThisUser, c.mine) << text;
    EXPECT_EQ(facts.ownedBySystem, c.system) << text;
    EXPECT_EQ(facts.othersMayWrite, c.othersWrite) << text;
    EXPECT_EQ(facts.othersMayUse, c.othersUse) << facts.described;
}

INSTANTIATE_TEST_SUITE_P(Descriptors, FileTrust, ::testing::ValuesIn(fileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A null DACL (built by hand: Wine reads "D:NO_ACCESS_CONTROL" as an empty one).
TEST(FileTrustNullDacl, LetsEveryoneWriteAndRead) {
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, Me(), FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
    const platform::FileFacts facts = platform::win32::JudgeFile(&descriptor, Me());
    EXPECT_TRUE(facts.othersMayWrite && facts.othersMayUse);
}

// What the folder makes is this user's; a secret is nobody else's to read,
// a public file everyone's to read and nobody else's to write.
TEST(FolderOnDisk, MakesPrivateAndPublicFilesAndReadsThemBack) {
    char temporary[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temporary), 0u);
    const std::string name = "lumivex-folder-" + std::to_string(GetCurrentProcessId());
    platform::Folder above, folder;
    std::string reason, text;
    ASSERT_TRUE(above.Open(temporary, reason, true)) << reason;
    ASSERT_TRUE(folder.MakeIn(above, name, reason)) << reason;
    EXPECT_FALSE(folder.Facts().othersMayUse) << folder.Facts().described;
    ASSERT_TRUE(folder.Create("secret", "key", 0600, reason)) << reason;
    ASSERT_TRUE(folder.Create("public", "certificate", 0644, reason)) << reason;
    EXPECT_FALSE(folder.Create("public", "other", 0644, reason));
    EXPECT_EQ(reason, "it exists already");
    platform::FileFacts secret, published;
    ASSERT_TRUE(folder.Read("secret", text, secret, reason)) << reason;
    EXPECT_EQ(text, "key");
    EXPECT_TRUE(secret.regular && secret.ownedByThisUser && !secret.othersMayUse) << secret.described;
    ASSERT_TRUE(folder.Replace("public", "renewed", 0644, reason)) << reason;
    ASSERT_TRUE(folder.Append("public", "+", reason)) << reason;
    ASSERT_TRUE(folder.Read("public", text, published, reason)) << reason;
    EXPECT_EQ(text, "renewed+");
    EXPECT_TRUE(published.ownedByThisUser && !published.othersMayWrite) << published.described;
    EXPECT_FALSE(folder.Read("..\\secret", text, published, reason));
    for (const char* file : {"secret", "public"}) EXPECT_TRUE(folder.Remove(file)) << file;
    EXPECT_FALSE(above.Remove(name)) << "a folder held open stays where it is";
    folder = platform::Folder();
    EXPECT_TRUE(above.Remove(name));
}

}  // namespace
