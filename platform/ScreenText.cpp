#include "platform/ScreenText.h"

namespace platform {
namespace {

const char* const clearLine = "\033[2K";
const char* const clearToScreenEnd = "\033[J";

std::string MoveToRow(int row) { return "\033[" + std::to_string(row) + ";1H"; }

}  // namespace

// Each line is cleared just before it is written, in the same write, rather
// than the whole screen cleared first, so the redraw does not flicker. The
// cursor is placed at each line's start rather than moved by line feeds: a
// line feed on the bottom row would scroll the screen, and a clear behind a
// line that fills its row would erase its last character.
std::string ScreenSequence(const std::string& text, int rows) {
    std::string screen;
    int row = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        screen.append(MoveToRow(++row)).append(clearLine).append(text, start, end - start);
        start = end + 1;
    }
    if (rows == 0 || row < rows) screen.append(MoveToRow(row + 1)).append(clearToScreenEnd);
    return screen;
}

}  // namespace platform
