#pragma once

#include <string>

// The pieces of the JSON the web view streams. Text from channels goes
// through ConsoleText first, so that a stream is always well-formed UTF-8
// (a browser drops a WebSocket that sends anything else) and shows control
// and direction-changing characters as \xHH.
namespace json_text {

// `text` as a JSON string, quotes included.
std::string String(const std::string& text);
// `value` with `decimals` decimals; null when it is not finite.
std::string Number(double value, int decimals);

}  // namespace json_text
