#include "tools/web/ListenAddress.h"

#include <cstdlib>
#include <vector>

namespace {

// A decimal number of at most `digits` digits, at most `highest`.
bool ReadNumber(const std::string& text, std::size_t digits, long highest, long& value) {
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtol(text.c_str(), nullptr, 10);
    return value <= highest;
}

bool DottedQuad(const std::string& host) {
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t end = part < 3 ? host.find('.', start) : host.size();
        long value = 0;
        if (end == std::string::npos || !ReadNumber(host.substr(start, end - start), 3, 255, value)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool ListenAddress::Loopback() const { return host.rfind("127.", 0) == 0; }

std::string ListenAddress::Read(const std::string& text) {
    std::size_t colon = text.rfind(':');
    long number = 0;
    if (colon == std::string::npos || !DottedQuad(text.substr(0, colon)))
        return "expected ADDR:PORT with an IPv4 address, e.g. 127.0.0.1:8360 or 0.0.0.0:8360";
    if (!ReadNumber(text.substr(colon + 1), 5, 65535, number)) return "the port is not a number 0..65535";
    host = text.substr(0, colon);
    port = static_cast<int>(number);
    return "";
}
