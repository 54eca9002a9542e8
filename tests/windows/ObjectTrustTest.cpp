// The trust rule on security descriptors built from their text form: who owns
// an object and whom its DACL lets write it. Wine keeps no security on named
// objects, so the rule is proved here rather than on live objects.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/ObjectTrust.h"

namespace {

using platform::OpenStatus;
using platform::win32::JudgeSecurity;

const std::string otherUser = "S-1-5-21-1111-2222-3333-1001";

struct DescriptorCase {
    const char* name;
    std::string descriptor;  // "ME" stands for this user's SID
    ACCESS_MASK writeRights;
    OpenStatus expected;
};

const ACCESS_MASK mapping = platform::win32::mappingWriteRights;
const ACCESS_MASK mutex = platform::win32::mutexWriteRights;

const DescriptorCase cases[] = {
    {"OwnedByThisUserPrivate", "O:MED:(A;;GA;;;ME)", mapping, OpenStatus::Opened},
    {"OwnedBySystemReadableByEveryone", "O:SYD:(A;;GA;;;SY)(A;;0x4;;;WD)", mapping, OpenStatus::Opened},
    {"OwnedByAdministrators", "O:BAD:(A;;GA;;;BA)(A;;GA;;;ME)", mapping, OpenStatus::Opened},
    {"OwnedByAnotherUser", "O:" + otherUser + "D:(A;;GA;;;" + otherUser + ")", mapping, OpenStatus::ForeignOwner},
    {"NoOwnerButADacl", "D:(A;;GA;;;ME)", mapping, OpenStatus::ForeignOwner},
    {"EmptyDaclLetsNobodyIn", "O:MED:", mapping, OpenStatus::Opened},
    {"EveryoneMayWrite", "O:MED:(A;;GW;;;WD)", mapping, OpenStatus::WritableByOthers},
    {"EveryoneMayMapForWriting", "O:MED:(A;;0x2;;;WD)", mapping, OpenStatus::WritableByOthers},
    {"AnotherUserMayChangeTheDacl", "O:MED:(A;;WD;;;" + otherUser + ")", mapping, OpenStatus::WritableThroughAcl},
    {"DenyingEveryoneWidensNothing", "O:MED:(D;;GA;;;WD)(A;;GA;;;ME)", mapping, OpenStatus::Opened},
    {"EveryoneMayWaitForTheMutex", "O:SYD:(A;;GA;;;SY)(A;;0x100000;;;WD)", mutex, OpenStatus::Opened},
    {"EveryoneMayReleaseTheMutex", "O:SYD:(A;;GA;;;SY)(A;;0x1;;;WD)", mutex, OpenStatus::WritableByOthers},
    // What Wine answers for every named object: no owner and no DACL at all.
    {"NoSecurityKeptAtAll", "", mapping, OpenStatus::Opened},
};

void PrintTo(const DescriptorCase& c, std::ostream* out) { *out << c.name; }

class DescriptorTrust : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(DescriptorTrust, DecidesByOwnerAndWhoMayWrite) {
    std::vector<unsigned char> user = platform::win32::ProcessUser();
    ASSERT_FALSE(user.empty());
    PSID me = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::string text = GetParam().descriptor;
    for (std::size_t at = text.find("ME"); at != std::string::npos; at = text.find("ME"))
        text.replace(at, 2, platform::win32::SidText(me));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        << text;
    platform::win32::Trust trust = JudgeSecurity(descriptor, me, GetParam().writeRights);
    LocalFree(descriptor);
    EXPECT_EQ(trust.status, GetParam().expected) << text;
}

// Built by hand: Wine turns the text "D:NO_ACCESS_CONTROL" into an empty DACL,
// where Windows makes a null one.
TEST(NullDacl, LetsEveryoneWrite) {
    std::vector<unsigned char> user = platform::win32::ProcessUser();
    ASSERT_FALSE(user.empty());
    PSID me = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, me, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
    EXPECT_EQ(JudgeSecurity(&descriptor, me, mapping).status, OpenStatus::WritableByOthers);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, DescriptorTrust, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
