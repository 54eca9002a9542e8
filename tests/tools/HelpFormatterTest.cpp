// The tools' help as a person would write it: each option's notes in one
// parenthesis, and none of CLI11's own annotations.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/common/HelpFormatter.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"

namespace {

// The help's line for `name` (its option column, then its description), with
// the padding between the two cut to two spaces.
std::string LineOf(const std::string& help, const std::string& name) {
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  " + name, 0) != 0) continue;
        std::size_t gap = line.find("   ");
        if (gap == std::string::npos) return line.substr(2);
        return line.substr(2, gap - 2) + "  " + line.substr(line.find_first_not_of(' ', gap));
    }
    return "(no line for " + name + ")";
}

TEST(HelpFormatterTest, EachOptionReadsAsWrittenByHand) {
    CLI::App app("A tool.", "tool");
    std::string file, text, list = "0,1";
    double speed = 1.0;
    int count = 0;
    bool once = false, loop = false;
    std::vector<std::string> poses;
    app.add_option("INPUT", text, "what to read")->required();
    CLI::Option* replay = app.add_option("--replay", file, "play a recording")->type_name("FILE");
    app.add_option("--speed", speed, "play X times as fast")
        ->type_name("X")
        ->check(CheckedBy([](const std::string&) { return std::string(); }, "0.001..1000"))
        ->default_str("1")
        ->needs(replay);
    app.add_option("--count", count, "how many")->type_name("N")->check(DecimalValidator(1, 9));
    app.add_option("--bins", list, "bins")->type_name("LIST")->check(NumberListValidator(15))->capture_default_str();
    app.add_flag("--once", once, "once")->excludes(replay);
    app.add_flag("--loop", loop, "again")->needs(replay);
    app.add_option("--pose", poses, "a pose")->type_name("POSE")->allow_extra_args(false);
    CLI::Option_group* role = app.add_option_group("role", "Role");
    role->add_flag("--send", once, "send");
    role->add_flag("--receive", loop, "receive");
    role->require_option(1);
    UseHelpStyle(app);
    const std::string help = app.help();

    const std::vector<std::pair<std::string, std::string>> lines = {
        {"INPUT", "INPUT  what to read"},
        {"--replay", "--replay FILE  play a recording (not with --once)"},
        {"--speed", "--speed X  play X times as fast (0.001..1000; default 1; with --replay)"},
        {"--count", "--count N  how many (1..9)"},
        {"--bins", "--bins LIST  bins (each 0..15; default 0,1)"},
        {"--once", "--once  once (not with --replay)"},
        {"--loop", "--loop  again (with --replay)"},
        {"--pose", "--pose POSE  a pose (repeatable)"},
        {"-h, --help", "-h, --help  print this help and exit"},
    };
    for (const auto& [name, expected] : lines) EXPECT_EQ(LineOf(help, name), expected) << help;
    EXPECT_NE(help.find("\nRole, exactly one of:\n  --send"), std::string::npos) << help;
    for (const char* leftover : {"Needs", "Excludes", "REQUIRED", "TEXT", "Option Group", "Exactly 1", "=", "..."})
        EXPECT_EQ(help.find(leftover), std::string::npos) << leftover << "\n" << help;
}

}  // namespace
