#include "web/JsonText.h"

#include <cmath>
#include <cstdio>

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

std::string Number(double value, int decimals) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace json_text
