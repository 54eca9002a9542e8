#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ErrorCapture.h"
#include "plot/AxisNumbers.h"
#include "plot/FigureLayout.h"

struct Colour {
    std::uint8_t red, green, blue;
};

// A value range of a panel: time across, the value up.
struct PanelRange {
    double fromSeconds, toSeconds;
    double low, high;
    AxisNumbers time;   // the ticks and numbers across
    AxisNumbers value;  // and up
};

// A picture drawn through PLplot's cairo driver into memory, so that the
// PNG is written, and its failure reported, by us. PLplot keeps one drawing
// at a time per process: make one canvas at a time.
class FigureCanvas {
public:
    FigureCanvas(int width, int height);
    ~FigureCanvas();
    FigureCanvas(const FigureCanvas&) = delete;
    FigureCanvas& operator=(const FigureCanvas&) = delete;

    // Text across the whole page at height `y` (0..1); `justify` 0 puts its
    // left end at `x`, 0.5 its centre.
    void Text(double x, double y, const std::string& text, Colour colour, double justify = 0.5);
    // A filled rectangle across the page, for a legend.
    void Box(double left, double right, double bottom, double top, Colour colour);
    // Draws from here on into the panel at `box`, in the values of `range`.
    void Select(const PanelBox& box, const PanelRange& range);
    // The selected panel's time span [from, to] filled from bottom to top.
    void Shade(double from, double to, Colour colour);
    // A panel's frame, grid and numbers; `timeNumbers` for the bottom row only.
    void Axes(const PanelBox& box, const PanelRange& range, bool timeNumbers, const std::string& title);
    // About how wide a character of text is, as a fraction of the page's width.
    double CharacterWidth() const;
    // A line through the points inside the panel last selected.
    void Line(const std::vector<double>& seconds, const std::vector<double>& values, Colour colour);

    // Ends the drawing; RGBA pixels, top row first.
    const std::vector<std::uint8_t>& Finish();
    // What PLplot said while drawing (it writes to standard error, which the
    // canvas takes over meanwhile), one message a line, as it wrote it.
    const std::string& Messages() const { return messages; }

    int Width() const { return width; }
    int Height() const { return height; }

private:
    int width;
    int height;
    std::vector<std::uint8_t> pixels;
    bool drawing = false;
    platform::ErrorCapture capture;
    std::string messages;
    double low = 0.0, high = 1.0;  // of the panel selected
    AxisNumbers numbers[2];        // of the panel framed last: time, value

    void Fill(double left, double right, double bottom, double top, Colour colour);
};

// `text` for PLplot, which reads '#' as the start of an escape sequence.
std::string PlainText(const std::string& text);
