#include "tests/e2e/Screenshot.h"

#include <sstream>

namespace e2e {
namespace {

const Milliseconds ImportLimit(5000);
const int PatchRadius = 2;

bool Inside(int x, int y, int width, int height) { return x >= 0 && y >= 0 && x < width && y < height; }

Area Patch(Pixel centre) {
    return {centre.x - PatchRadius, centre.y - PatchRadius, 2 * PatchRadius + 1, 2 * PatchRadius + 1};
}

int Sample(const std::string& data, size_t& at, int bytes) {
    int value = static_cast<unsigned char>(data[at++]);
    if (bytes == 2) value = (value << 8 | static_cast<unsigned char>(data[at++])) >> 8;
    return value;
}

}  // namespace

bool IsRed(Rgb c) { return c.r >= 60 && 4 * c.g < c.r && 4 * c.b < c.r; }

// Orange is (1, 0.7, 0.1): green between half and nine tenths of red.
bool IsOrange(Rgb c) { return c.r >= 60 && 2 * c.g >= c.r && 10 * c.g <= 9 * c.r && 10 * c.b < 3 * c.r; }

bool IsRedOrOrange(Rgb c) { return IsRed(c) || IsOrange(c); }

bool Screenshot::Take(const std::string& display) {
    Outcome shot = RunToEnd({"import", "-window", "root", "-crop", "640x480+0+0", "-depth", "8", "ppm:-"},
                            ChildEnvironment({"DISPLAY=" + display}), ImportLimit);
    return shot.finished && shot.status == 0 && Parse(shot.output) && width == Width && height == Height;
}

bool Screenshot::Parse(const std::string& ppm) {
    std::istringstream header(ppm);
    std::string magic;
    int maximum = 0;
    if (!(header >> magic >> width >> height >> maximum) || magic != "P6" || width <= 0 || height <= 0) return false;
    const int bytes = maximum > 255 ? 2 : 1;
    size_t at = static_cast<size_t>(header.tellg()) + 1;  // one white-space character ends the header
    if (ppm.size() < at + static_cast<size_t>(width) * height * 3 * bytes) return false;
    pixels.resize(static_cast<size_t>(width) * height);
    for (Rgb& pixel : pixels) {
        pixel.r = Sample(ppm, at, bytes);
        pixel.g = Sample(ppm, at, bytes);
        pixel.b = Sample(ppm, at, bytes);
    }
    return true;
}

Rgb Screenshot::At(int x, int y) const {
    if (!Inside(x, y, width, height)) return {0, 0, 0};
    return pixels[static_cast<size_t>(y) * width + x];
}

int Screenshot::Count(const Area& area, ColourTest test) const {
    int count = 0;
    for (int y = area.top; y < area.top + area.height; ++y)
        for (int x = area.left; x < area.left + area.width; ++x)
            if (test(At(x, y))) ++count;
    return count;
}

int Screenshot::CountDifferent(const Screenshot& other, const Area& area, ColourTest test) const {
    int count = 0;
    for (int y = area.top; y < area.top + area.height; ++y)
        for (int x = area.left; x < area.left + area.width; ++x)
            if (test(At(x, y)) != test(other.At(x, y))) ++count;
    return count;
}

bool Screenshot::MostlyAround(Pixel centre, ColourTest test) const {
    const Area patch = Patch(centre);
    return 2 * Count(patch, test) > patch.width * patch.height;
}

bool Screenshot::NoneAround(Pixel centre, ColourTest test) const { return Count(Patch(centre), test) == 0; }

}  // namespace e2e
