#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/TrackerSettings.h"

namespace {

constexpr int trackerTypeCount = 10;
constexpr int unknownType = 9;
const char* const trackerTypeLabels[trackerTypeCount] = {"(0)Undefined", "(F)akespace", "(P)olhemus",   "(B)ird",
                                                         "(L)ogitech",   "(S)paceball", "(I)nterSense", "(Q)uillmont",
                                                         "(T)rajectory", "(U)nknown"};
// Only the first nine letters are searched, so the unknown type has none.
const char trackerTypeLetters[] = "0FPBLSIQT----";
constexpr int searchedLetterCount = 9;
constexpr uint32_t selectableTypes = 0x1D4;

constexpr int lowestPort = 1;
constexpr int highestPort = 16;
constexpr int baudGranularity = 96;

bool IsSelectable(int type) { return type >= 0 && type < trackerTypeCount && ((selectableTypes >> type) & 1u) != 0; }

// The type whose letter matches c without regard to case, or -1.
int FindTypeLetter(char c) {
    const int upper = std::toupper(static_cast<unsigned char>(c));
    for (int type = 0; type < searchedLetterCount; ++type)
        if (trackerTypeLetters[type] == upper) return type;
    return -1;
}

// A decimal number read like %d reads it, but clamped to int so that an
// overflow is a rejected value rather than undefined behaviour.
struct IntReading {
    bool read;     // at least one digit was found
    bool inRange;  // the number fits an int
    int value;
    const char* end;
};

IntReading ReadInt(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long long raw = std::strtoll(text, &end, 10);
    const long long clamped = std::clamp<long long>(raw, INT_MIN, INT_MAX);
    return {end != text, errno != ERANGE && clamped == raw, static_cast<int>(clamped), end};
}

// A type letter at the start of the rest is consumed, valid or not; a
// lower-case x is left alone because it starts a mask.
const char* ParseTypeLetter(const char* rest) {
    if (!std::isalpha(static_cast<unsigned char>(*rest)) || *rest == 'x') return rest;
    const int type = FindTypeLetter(*rest);
    if (IsSelectable(type)) {
        trackerSettings.type = type;
        std::printf("\n\tTracker type set to: %s", trackerTypeLabels[type]);
    } else {
        std::printf("\n\tTracker type setting invalid: %c", *rest);
    }
    return rest + 1;
}

struct MaskKind {
    char letter;  // follows the x; '\0' matches any character and consumes none
    uint32_t TrackerSettings::*destination;
    const char* setMessage;
    const char* invalidMessage;
};

const MaskKind maskKinds[] = {
    {'i', &TrackerSettings::instrumentMask, "\n\tTracker instrument mask set to: 0x%X",
     "\n\tTracker instrument mask setting invalid: %s"},
    {'b', &TrackerSettings::binMask, "\n\tTracker bin mask set to: 0x%X", "\n\tTracker bin mask setting invalid: %s"},
    {'\0', &TrackerSettings::stationMask, "\n\tTracker station mask set to: 0x%X",
     "\n\tTracker mask setting invalid: %s"},
};

const MaskKind& FindMaskKind(char c) {
    const MaskKind* kind = maskKinds;
    while (kind->letter != '\0' && kind->letter != c) ++kind;
    return *kind;
}

// text starts just after the x.
void ParseMask(const char* text) {
    const MaskKind& kind = FindMaskKind(*text);
    const char* digits = kind.letter == '\0' ? text : text + 1;
    uint32_t& mask = trackerSettings.*kind.destination;
    if (ParseHexMask(digits, &mask))
        std::printf(kind.setMessage, mask);
    else
        std::printf(kind.invalidMessage, digits);
}

void JudgeSetting(bool valid, int value, int32_t& setting, const char* setMessage, const char* invalidMessage) {
    if (valid) setting = value;
    std::printf(valid ? setMessage : invalidMessage, value);
}

void ParsePortAndBaud(const char* text) {
    const IntReading port = ReadInt(text);
    JudgeSetting(port.inRange && port.value >= lowestPort && port.value <= highestPort, port.value,
                 trackerSettings.port, "\n\tTracker port set to: COM%d",
                 "\n\tTracker port specified is invalid: COM%d");
    if (*port.end != '@') return;
    const IntReading baud = ReadInt(port.end + 1);
    if (!baud.read) return;
    JudgeSetting(baud.inRange && baud.value % baudGranularity == 0, baud.value, trackerSettings.baud,
                 "\n\tTracker baud set to: %d", "\n\tTracker baud specified is invalid: %d");
}

void ParseTrackerOption(const char* rest) {
    const char* current = ParseTypeLetter(rest);
    if (*current == 'x')
        ParseMask(current + 1);
    else if (std::isdigit(static_cast<unsigned char>(*current)))
        ParsePortAndBaud(current);
}

void ParseVerboseOption(const char* rest) { verboseLevel = *rest == '\0' ? 1 : ReadInt(rest).value; }

void ToggleMaximized(const char*) { startMaximized = !startMaximized; }

struct SwitchKind {
    char letter;  // upper case; switches match without regard to case
    void (*handle)(const char* rest);
};

const SwitchKind switchKinds[] = {
    {'T', ParseTrackerOption},
    {'V', ParseVerboseOption},
    {'X', ToggleMaximized},
};

const SwitchKind* FindSwitch(char c) {
    const int upper = std::toupper(static_cast<unsigned char>(c));
    for (const SwitchKind& kind : switchKinds)
        if (kind.letter == upper) return &kind;
    return nullptr;
}

void PrintUsage(const char* programPath) {
    std::printf(
        "\n%s [CFGfile] [/S/T/V|/X|/Z]\n\t/T[#[@#]]\tTracker port and baud <%d@%d>\n\t/T[type] "
        "\tTracker type <%c>\n\t/V[#]    \tVerbose console level<%d>\n\t/X       \tMaximum window "
        "size <%s>\n",
        programPath != nullptr ? programPath : "", trackerSettings.port, trackerSettings.baud,
        TrackerTypeLabel(trackerSettings.type)[1], verboseLevel, startMaximized ? "MAXED" : "NORMAL");
    std::printf("\nTracker types supported:");
    for (int type = 0; type < trackerTypeCount; ++type)
        if (IsSelectable(type)) std::printf("\n\t%s", trackerTypeLabels[type]);
    std::printf("\n");
}

bool IsSwitch(const char* argument) { return argument[0] == '/' || argument[0] == '-'; }

int HexDigitValue(unsigned char c) {
    if (std::isdigit(c)) return c - '0';
    return std::isxdigit(c) ? std::tolower(c) - 'a' + 10 : -1;
}

}  // namespace

const char* TrackerTypeLabel(int type) {
    return trackerTypeLabels[type >= 0 && type < trackerTypeCount ? type : unknownType];
}

bool ParseHexMask(const char* text, uint32_t* destination) {
    if (text == nullptr || destination == nullptr) return false;
    uint32_t value = 0;
    const char* next = text;
    // Shifting a 32-bit value keeps the low 32 bits of a longer number.
    for (int digit; (digit = HexDigitValue(static_cast<unsigned char>(*next))) >= 0; ++next)
        value = (value << 4) | static_cast<uint32_t>(digit);
    const bool terminated = *next == '\0' || std::isspace(static_cast<unsigned char>(*next));
    if (next == text || !terminated) return false;
    *destination = value;
    return true;
}

bool ParseViewerCommandLine(int argc, char** argv) {
    if (argc <= 1) return true;
    std::printf("\nProcessing command line parameters ...");
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (!IsSwitch(argument)) {
            configFileName = argument;
            continue;
        }
        const SwitchKind* kind = FindSwitch(argument[1]);
        if (kind == nullptr) {
            PrintUsage(argv[0]);
            return false;
        }
        kind->handle(argument + 2);
    }
    return true;
}
