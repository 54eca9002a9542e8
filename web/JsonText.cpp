#include "web/JsonText.h"

#include <charconv>
#include <cmath>

#include "text/ConsoleText.h"

namespace json_text {

// ConsoleText leaves no control character but the ones escaped here.
std::string String(const std::string& text) {
    std::string quoted = "\"";
    for (char byte : ConsoleText(text)) {
        if (byte == '"' || byte == '\\') quoted += '\\';
        quoted += byte;
    }
    return quoted + "\"";
}

// to_chars rather than printf: a state has hundreds of numbers, sixty
// times a second, and printf's locale and format parsing were a tenth of the
// program's time.
std::string Number(double value, int decimals) {
    if (!std::isfinite(value)) return "null";
    char text[400];  // room for the largest double in fixed notation
    std::to_chars_result end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, end.ptr);
}

}  // namespace json_text
