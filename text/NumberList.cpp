#include "text/NumberList.h"

namespace {

// Two decimal digits at most: every number here is below 32.
bool ParseNumber(const std::string& text, int highest, int& value) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value <= highest;
}

bool ParseItem(const std::string& item, int highest, uint32_t& mask) {
    std::size_t dash = item.find('-');
    int first = 0, last = 0;
    if (!ParseNumber(item.substr(0, dash), highest, first)) return false;
    last = first;
    if (dash != std::string::npos && !ParseNumber(item.substr(dash + 1), highest, last)) return false;
    if (last < first) return false;
    for (int number = first; number <= last; ++number) mask |= 1u << number;
    return true;
}

}  // namespace

bool ParseNumberList(const std::string& text, int highest, uint32_t& mask) {
    if (highest > 31) return false;
    uint32_t result = 0;
    for (std::size_t start = 0;;) {
        std::size_t comma = text.find(',', start);
        if (!ParseItem(text.substr(start, comma - start), highest, result)) return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    mask = result;
    return true;
}

std::string DescribeNumberList(uint32_t mask) {
    std::string list;
    for (int first = 0; first < 32; ++first) {
        if (!(mask >> first & 1u)) continue;
        int last = first;
        while (last < 31 && (mask >> (last + 1) & 1u)) ++last;
        list += (list.empty() ? "" : ",") + std::to_string(first) + (last > first ? "-" + std::to_string(last) : "");
        first = last;
    }
    return list.empty() ? "none" : list;
}
