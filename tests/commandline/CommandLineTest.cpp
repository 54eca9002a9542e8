#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/commandline/CommandLineTestSupport.h"
#include "app/TrackerSettings.h"

namespace {

const char* const program = "/opt/lumivex/bin/lumivex";

void ResetGlobals() {
    trackerSettings = TrackerSettings{};
    verboseLevel = 0;
    startMaximized = false;
    configFileName = nullptr;
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
    void TearDown() override { ResetGlobals(); }

    // Runs the parser on the program path followed by the arguments, keeping
    // the argument texts alive for the settings that point into them.
    bool Parse(const std::vector<std::string>& arguments) {
        texts = arguments;
        texts.insert(texts.begin(), program);
        argv.clear();
        for (std::string& text : texts) argv.push_back(text.data());
        std::fflush(stdout);
        testing::internal::CaptureStdout();
        const bool accepted = ParseViewerCommandLine(static_cast<int>(argv.size()), argv.data());
        std::fflush(stdout);
        output = testing::internal::GetCapturedStdout();
        return accepted;
    }

    // The output of a parse that accepted the arguments.
    std::string Accepted(const std::vector<std::string>& arguments) {
        EXPECT_TRUE(Parse(arguments));
        return output;
    }

    std::vector<std::string> texts;
    std::vector<char*> argv;
    std::string output;
};

void ExpectDefaultTrackerSettings() {
    const TrackerSettings defaults;
    EXPECT_EQ(trackerSettings.type, defaults.type);
    EXPECT_EQ(trackerSettings.port, defaults.port);
    EXPECT_EQ(trackerSettings.baud, defaults.baud);
    EXPECT_EQ(trackerSettings.instrumentMask, defaults.instrumentMask);
    EXPECT_EQ(trackerSettings.binMask, defaults.binMask);
    EXPECT_EQ(trackerSettings.stationMask, defaults.stationMask);
}

TEST_F(CommandLineTest, NoArgumentsPrintsNothingAndKeepsDefaults) {
    char path[] = "lumivex";
    char* onlyProgram[] = {path};
    testing::internal::CaptureStdout();
    EXPECT_TRUE(ParseViewerCommandLine(1, onlyProgram));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ExpectDefaultTrackerSettings();
    EXPECT_EQ(trackerSettings.type, 7);
    EXPECT_EQ(trackerSettings.port, 1);
    EXPECT_EQ(trackerSettings.baud, 115200);
    EXPECT_EQ(trackerSettings.instrumentMask, 0x1u);
    EXPECT_EQ(trackerSettings.binMask, 0x3u);
    EXPECT_EQ(trackerSettings.stationMask, 0xFu);
    EXPECT_EQ(verboseLevel, 0);
    EXPECT_FALSE(startMaximized);
    EXPECT_EQ(configFileName, nullptr);
}

TEST_F(CommandLineTest, TypeLettersSelectInEitherCase) {
    const struct {
        const char* argument;
        int type;
        const char* label;
    } cases[] = {{"/TP", 2, "(P)olhemus"},   {"/Tp", 2, "(P)olhemus"},  {"-tl", 4, "(L)ogitech"},
                 {"/TI", 6, "(I)nterSense"}, {"/Tq", 7, "(Q)uillmont"}, {"/TT", 8, "(T)rajectory"}};
    for (const auto& c : cases) {
        ResetGlobals();
        trackerSettings.type = 0;
        EXPECT_EQ(Accepted({c.argument}), processingLine + "\n\tTracker type set to: " + c.label) << c.argument;
        EXPECT_EQ(trackerSettings.type, c.type) << c.argument;
    }
}

TEST_F(CommandLineTest, UnselectableOrUnknownTypeLettersAreRejected) {
    // F, B and S name types that cannot be chosen; X and U name none.
    for (const char* letter : {"F", "f", "B", "s", "X", "U", "Z"}) {
        ResetGlobals();
        EXPECT_EQ(Accepted({std::string("/T") + letter}),
                  processingLine + "\n\tTracker type setting invalid: " + letter)
            << letter;
        ExpectDefaultTrackerSettings();
    }
}

TEST_F(CommandLineTest, TypeLetterCanBeFollowedByMaskOrPort) {
    EXPECT_EQ(Accepted({"/Tpxb3"}),
              processingLine + "\n\tTracker type set to: (P)olhemus" + "\n\tTracker bin mask set to: 0x3");
    EXPECT_EQ(trackerSettings.type, 2);

    ResetGlobals();
    EXPECT_EQ(Accepted({"/Tl2@9600"}), processingLine + "\n\tTracker type set to: (L)ogitech" +
                                           "\n\tTracker port set to: COM2\n\tTracker baud set to: 9600");
    EXPECT_EQ(trackerSettings.type, 4);
    EXPECT_EQ(trackerSettings.port, 2);
    EXPECT_EQ(trackerSettings.baud, 9600);

    // A rejected letter is consumed all the same, so the mask still applies.
    ResetGlobals();
    EXPECT_EQ(Accepted({"/TFx3"}),
              processingLine + "\n\tTracker type setting invalid: F" + "\n\tTracker station mask set to: 0x3");
    EXPECT_EQ(trackerSettings.stationMask, 0x3u);
}

TEST_F(CommandLineTest, TrackerRestThatIsNeitherMaskNorNumberIsIgnored) {
    const std::string polhemus = "\n\tTracker type set to: (P)olhemus";
    const struct {
        const char* argument;
        std::string messages;
    } cases[] = {{"/T", ""},         {"/T#", ""},         {"/T@9600", ""},  {"/T xb3", ""},
                 {"/TPQ", polhemus}, {"/TPX1", polhemus}, {"/TP", polhemus}};
    for (const auto& c : cases) {
        ResetGlobals();
        trackerSettings.type = 2;
        EXPECT_EQ(Accepted({c.argument}), processingLine + c.messages) << c.argument;
        EXPECT_EQ(trackerSettings.type, 2) << c.argument;
        trackerSettings.type = TrackerSettings{}.type;
        ExpectDefaultTrackerSettings();
    }
}

TEST_F(CommandLineTest, EachMaskKindSetsItsOwnMask) {
    EXPECT_EQ(Accepted({"/Txb3"}), processingLine + "\n\tTracker bin mask set to: 0x3");
    EXPECT_EQ(Accepted({"/Txi5"}), processingLine + "\n\tTracker instrument mask set to: 0x5");
    EXPECT_EQ(Accepted({"/Tx1f"}), processingLine + "\n\tTracker station mask set to: 0x1F");
    EXPECT_EQ(trackerSettings.binMask, 0x3u);
    EXPECT_EQ(trackerSettings.instrumentMask, 0x5u);
    EXPECT_EQ(trackerSettings.stationMask, 0x1Fu);

    EXPECT_EQ(Accepted({"/TxFFFFFFFF"}), processingLine + "\n\tTracker station mask set to: 0xFFFFFFFF");
    EXPECT_EQ(trackerSettings.stationMask, 0xFFFFFFFFu);
    EXPECT_EQ(Accepted({"/Txb0"}), processingLine + "\n\tTracker bin mask set to: 0x0");
    EXPECT_EQ(trackerSettings.binMask, 0u);

    // An upper-case B is a hex digit of the station mask, not the bin mask.
    EXPECT_EQ(Accepted({"/TxB3"}), processingLine + "\n\tTracker station mask set to: 0xB3");
    EXPECT_EQ(trackerSettings.stationMask, 0xB3u);
    EXPECT_EQ(trackerSettings.binMask, 0u);
}

TEST_F(CommandLineTest, MasksLongerThanEightDigitsKeepTheLowBits) {
    EXPECT_EQ(Accepted({"/Txi123456789"}), processingLine + "\n\tTracker instrument mask set to: 0x23456789");
    EXPECT_EQ(trackerSettings.instrumentMask, 0x23456789u);
    EXPECT_EQ(Accepted({"/Tx" + std::string(5000, 'F') + "1"}),
              processingLine + "\n\tTracker station mask set to: 0xFFFFFFF1");
}

TEST_F(CommandLineTest, RejectedMasksNameTheirTextAndKeepTheMask) {
    const struct {
        const char* argument;
        const char* message;
    } cases[] = {
        {"/Txb0x3", "\n\tTracker bin mask setting invalid: 0x3"},
        {"/Txb", "\n\tTracker bin mask setting invalid: "},
        {"/Txi5g", "\n\tTracker instrument mask setting invalid: 5g"},
        {"/Tx", "\n\tTracker mask setting invalid: "},
        {"/Txg", "\n\tTracker mask setting invalid: g"},
        // Only lower-case i and b pick the instrument and bin masks.
        {"/TxI5", "\n\tTracker mask setting invalid: I5"},
        {"/Tx-1", "\n\tTracker mask setting invalid: -1"},
    };
    for (const auto& c : cases) {
        ResetGlobals();
        EXPECT_EQ(Accepted({c.argument}), processingLine + c.message) << c.argument;
        ExpectDefaultTrackerSettings();
    }
}

TEST_F(CommandLineTest, PortAndBaudAreJudgedIndependently) {
    EXPECT_EQ(Accepted({"/T17@9600"}),
              processingLine + "\n\tTracker port specified is invalid: COM17" + "\n\tTracker baud set to: 9600");
    EXPECT_EQ(trackerSettings.port, 1);
    EXPECT_EQ(trackerSettings.baud, 9600);

    ResetGlobals();
    EXPECT_EQ(Accepted({"/T2@9601"}),
              processingLine + "\n\tTracker port set to: COM2" + "\n\tTracker baud specified is invalid: 9601");
    EXPECT_EQ(trackerSettings.port, 2);
    EXPECT_EQ(trackerSettings.baud, 115200);
}

TEST_F(CommandLineTest, PortLimitsAndOptionalBaud) {
    EXPECT_EQ(Accepted({"/T16"}), processingLine + "\n\tTracker port set to: COM16");
    EXPECT_EQ(trackerSettings.port, 16);
    EXPECT_EQ(Accepted({"/T0"}), processingLine + "\n\tTracker port specified is invalid: COM0");
    EXPECT_EQ(Accepted({"/T3@"}), processingLine + "\n\tTracker port set to: COM3");
    EXPECT_EQ(Accepted({"/T4@fast"}), processingLine + "\n\tTracker port set to: COM4");
    EXPECT_EQ(Accepted({"/T5x"}), processingLine + "\n\tTracker port set to: COM5");
    EXPECT_EQ(trackerSettings.port, 5);
    EXPECT_EQ(trackerSettings.baud, 115200);
    EXPECT_EQ(trackerSettings.stationMask, 0xFu);

    EXPECT_EQ(Accepted({"/T1@0"}), processingLine + "\n\tTracker port set to: COM1\n\tTracker baud set to: 0");
    EXPECT_EQ(trackerSettings.baud, 0);
}

TEST_F(CommandLineTest, NumbersBeyondIntAreRejectedNotWrapped) {
    // 4294967298 would wrap to 2 in 32 bits and 4294976896 to a multiple of 96.
    EXPECT_EQ(Accepted({"/T4294967298"}), processingLine + "\n\tTracker port specified is invalid: COM2147483647");
    EXPECT_EQ(trackerSettings.port, 1);

    EXPECT_EQ(Accepted({"/T2@4294976896"}),
              processingLine + "\n\tTracker port set to: COM2" + "\n\tTracker baud specified is invalid: 2147483647");
    EXPECT_EQ(Accepted({"/T2@-99999999999999999999999"}),
              processingLine + "\n\tTracker port set to: COM2" + "\n\tTracker baud specified is invalid: -2147483648");
    EXPECT_EQ(trackerSettings.baud, 115200);

    EXPECT_EQ(
        Accepted({"/T" + std::string(10000, '9') + "@9600"}),
        processingLine + "\n\tTracker port specified is invalid: COM2147483647" + "\n\tTracker baud set to: 9600");
}

TEST_F(CommandLineTest, VerboseLevelForms) {
    const struct {
        const char* argument;
        int level;
    } cases[] = {{"/V", 1},   {"/V3", 3},   {"-v7", 7},      {"/V-2", -2},
                 {"/V+4", 4}, {"/Vabc", 0}, {"/V12abc", 12}, {"/V99999999999", 2147483647}};
    for (const auto& c : cases) {
        verboseLevel = 42;
        EXPECT_EQ(Accepted({c.argument}), processingLine) << c.argument;
        EXPECT_EQ(verboseLevel, c.level) << c.argument;
    }
}

TEST_F(CommandLineTest, MaximizedTogglesWithEveryX) {
    Accepted({"/X"});
    EXPECT_TRUE(startMaximized);
    Accepted({"/X", "-x"});
    EXPECT_TRUE(startMaximized);  // toggled twice from true
    ResetGlobals();
    EXPECT_EQ(Accepted({"-xyz"}), processingLine);
    EXPECT_TRUE(startMaximized);
}

TEST_F(CommandLineTest, NonSwitchArgumentsNameTheConfigurationFile) {
    EXPECT_EQ(Accepted({"first.cfg", "/V2", "second.cfg"}), processingLine);
    ASSERT_NE(configFileName, nullptr);
    EXPECT_STREQ(configFileName, "second.cfg");
    EXPECT_EQ(configFileName, argv[3]);  // refers to the argument itself

    EXPECT_EQ(Accepted({"named.cfg", ""}), processingLine);
    ASSERT_NE(configFileName, nullptr);
    EXPECT_STREQ(configFileName, "");

    const std::string longName(100000, 'n');
    Accepted({longName});
    EXPECT_EQ(configFileName, longName);
}

TEST_F(CommandLineTest, UnknownSwitchPrintsUsageAndFails) {
    for (const char* argument : {"/Z", "/S", "-q", "/", "-", "/?"}) {
        ResetGlobals();
        EXPECT_FALSE(Parse({argument})) << argument;
        EXPECT_EQ(output, processingLine + DefaultUsageText(program)) << argument;
    }
}

TEST_F(CommandLineTest, UsageShowsSettingsMadeBeforeTheUnknownSwitch) {
    EXPECT_FALSE(Parse({"config.txt", "/X", "/Z"}));
    EXPECT_EQ(output, processingLine + UsageText(program, "1@115200", 'Q', 0, "MAXED"));
    ASSERT_NE(configFileName, nullptr);
    EXPECT_STREQ(configFileName, "config.txt");
    EXPECT_TRUE(startMaximized);

    ResetGlobals();
    EXPECT_FALSE(Parse({"/Tt3@19200", "/V-5", "/S"}));
    EXPECT_EQ(output, processingLine + "\n\tTracker type set to: (T)rajectory" +
                          "\n\tTracker port set to: COM3\n\tTracker baud set to: 19200" +
                          UsageText(program, "3@19200", 'T', -5, "NORMAL"));
}

TEST_F(CommandLineTest, UnknownSwitchStopsBeforeLaterArguments) {
    EXPECT_FALSE(Parse({"/Z", "/X", "/TP", "late.cfg"}));
    EXPECT_EQ(output, processingLine + DefaultUsageText(program));
    EXPECT_FALSE(startMaximized);
    EXPECT_EQ(configFileName, nullptr);
    ExpectDefaultTrackerSettings();
}

TEST(TrackerTypeLabelTest, LabelsByIndexWithUnknownOutsideTheTable) {
    EXPECT_STREQ(TrackerTypeLabel(0), "(0)Undefined");
    EXPECT_STREQ(TrackerTypeLabel(3), "(B)ird");
    EXPECT_STREQ(TrackerTypeLabel(7), "(Q)uillmont");
    EXPECT_STREQ(TrackerTypeLabel(9), "(U)nknown");
    EXPECT_STREQ(TrackerTypeLabel(10), "(U)nknown");
    EXPECT_STREQ(TrackerTypeLabel(-1), "(U)nknown");
}

}  // namespace
