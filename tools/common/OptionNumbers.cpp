#include "tools/common/OptionNumbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "text/NumberList.h"

namespace {

// from_chars takes neither space nor '+', and no '-' into an unsigned type.
bool ParseDigits(const std::string& text, std::size_t skip, int base, unsigned long long highest,
                 unsigned long long& value) {
    const char* first = text.data() + skip;
    const char* last = text.data() + text.size();
    unsigned long long parsed = 0;
    auto [end, failure] = std::from_chars(first, last, parsed, base);
    if (first == last || end != last || failure != std::errc() || parsed > highest) return false;
    value = parsed;
    return true;
}

bool HasHexPrefix(const std::string& text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

bool ParseDecimal(const std::string& text, long long lowest, long long highest, long long& value) {
    unsigned long long parsed = 0;
    if (lowest < 0 || highest < lowest || (text.size() > 1 && text[0] == '0') ||
        !ParseDigits(text, 0, 10, static_cast<unsigned long long>(highest), parsed) ||
        parsed < static_cast<unsigned long long>(lowest))
        return false;
    value = static_cast<long long>(parsed);
    return true;
}

bool ParseHexadecimal(const std::string& text, unsigned long long highest, unsigned long long& value) {
    return ParseDigits(text, HasHexPrefix(text) ? 2 : 0, 16, highest, value);
}

bool ParseOctal(const std::string& text, unsigned long long highest, unsigned long long& value) {
    return ParseDigits(text, 0, 8, highest, value);
}

bool ParseFiniteNumber(const std::string& text, double& value) {
    const char* last = text.data() + text.size();
    double parsed = 0.0;
    auto [end, failure] = std::from_chars(text.data(), last, parsed);
    if (text.empty() || end != last || failure != std::errc() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

CLI::Validator SecondsValidator() {
    return CLI::Validator(
        [](std::string& text) {
            double seconds = 0.0;
            return ParseFiniteNumber(text, seconds) && seconds >= 0.0
                       ? std::string()
                       : "'" + text + "' is not a number of seconds, 0 or more";
        },
        "", "Seconds");
}

CLI::Validator NumberListValidator(int highest) {
    std::string what = "comma-separated numbers or ranges N-M, each 0.." + std::to_string(highest);
    return CLI::Validator(
        [highest, what](std::string& text) {
            uint32_t mask = 0;
            return ParseNumberList(text, highest, mask) ? std::string() : "'" + text + "' is not " + what;
        },
        "each 0.." + std::to_string(highest), "NumberList");
}

CLI::Validator DecimalValidator(long long lowest, long long highest) {
    std::string what =
        "a number " + std::to_string(lowest) + ".." + std::to_string(highest) + " (decimal digits, no leading zero)";
    return CLI::Validator(
        [lowest, highest, what](std::string& text) {
            long long value = 0;
            return ParseDecimal(text, lowest, highest, value) ? std::string() : "'" + text + "' is not " + what;
        },
        std::to_string(lowest) + ".." + std::to_string(highest), "Decimal");
}
