// The viewer's command line: argument lists of any shape through the parser
// the viewer runs at start-up.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz/FuzzArguments.h"
#include "fuzz/FuzzCheck.h"
#include "app/CommandLine.h"
#include "app/TrackerSettings.h"

namespace {

// What a hexadecimal mask must read as, written independently of the parser:
// the digits at the start, ended by the end or white space; longer numbers
// keep their low 32 bits.
bool ExpectedMask(const char* text, uint32_t& value) {
    const char* const hexDigits = "0123456789abcdef";
    uint64_t wide = 0;
    std::size_t digits = 0;
    for (; std::isxdigit(static_cast<unsigned char>(text[digits])); ++digits) {
        const int lower = std::tolower(static_cast<unsigned char>(text[digits]));
        wide = ((wide << 4) | static_cast<uint64_t>(std::strchr(hexDigits, lower) - hexDigits)) & 0xFFFFFFFFu;
    }
    value = static_cast<uint32_t>(wide);
    return digits > 0 && (text[digits] == '\0' || std::isspace(static_cast<unsigned char>(text[digits])));
}

void CheckHexMask(const char* text) {
    const uint32_t untouched = 0xA5A5A5A5u;
    uint32_t parsed = untouched;
    uint32_t expected = 0;
    const bool valid = ExpectedMask(text, expected);
    FUZZ_CHECK(ParseHexMask(text, &parsed) == valid);
    FUZZ_CHECK(parsed == (valid ? expected : untouched));
}

// Rejected values leave a setting as it was, so it always holds a value the
// parser accepts.
void CheckSettings() {
    const int type = trackerSettings.type;
    FUZZ_CHECK(type == 2 || type == 4 || type == 6 || type == 7 || type == 8);
    FUZZ_CHECK(trackerSettings.port >= 1 && trackerSettings.port <= 16);
    FUZZ_CHECK(trackerSettings.baud % 96 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The parser's console lines would drown the fuzzer's own output.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    trackerSettings = TrackerSettings{};
    verboseLevel = 0;
    startMaximized = false;
    configFileName = nullptr;
    FuzzArguments arguments("lumivex", data, size);
    ParseViewerCommandLine(arguments.Count(), arguments.Vector());
    CheckSettings();
    for (int i = 1; i < arguments.Count(); ++i) CheckHexMask(arguments.Vector()[i]);
    return 0;
}
