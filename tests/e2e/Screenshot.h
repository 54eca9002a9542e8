#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace e2e {

using namespace testsupport;

struct Rgb {
    int r, g, b;
};

struct Pixel {
    int x, y;  // window coordinates, y from the top
};

// A rectangle of window pixels: left, top, width, height.
struct Area {
    int left, top, width, height;
};

using ColourTest = bool (*)(Rgb);

// The lit faces of the red box, and of the selected box (orange); the shades
// of lighting keep the ratios of the colour, so ratios are what is tested.
bool IsRed(Rgb colour);
bool IsOrange(Rgb colour);
bool IsRedOrOrange(Rgb colour);

// The viewer's 640 x 480 window as the screen shows it, taken with
// ImageMagick's `import` from the root window (the window sits at 0, 0).
class Screenshot {
public:
    static constexpr int Width = 640;
    static constexpr int Height = 480;

    // Takes a picture of the display; false when import fails or its output
    // is not a picture of the expected size.
    bool Take(const std::string& display);

    // Reads a binary PPM (P6, 8 or 16 bits per sample).
    bool Parse(const std::string& ppm);

    Rgb At(int x, int y) const;
    // Pixels of `area` that pass `test`.
    int Count(const Area& area, ColourTest test) const;
    // Pixels of `area` that pass `test` in exactly one of the two pictures.
    int CountDifferent(const Screenshot& other, const Area& area, ColourTest test) const;
    // Whether most of the 5 x 5 pixels around `centre` pass `test`.
    bool MostlyAround(Pixel centre, ColourTest test) const;
    bool NoneAround(Pixel centre, ColourTest test) const;

private:
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
};

}  // namespace e2e
