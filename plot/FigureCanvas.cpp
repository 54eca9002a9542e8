#include "plot/FigureCanvas.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/ConsoleText.h"
#include "text/Warning.h"

namespace {

constexpr int foreground = 1;  // PLplot colour map 0 index for frames and text
constexpr int trace = 2;       // the index each trace sets before it draws
const Colour frameColour{60, 60, 60};
const Colour gridColour{215, 215, 215};
constexpr double characterScale = 0.55;
constexpr double traceWidth = 1.6;
// A proportional font's average character is a little over half as wide as
// it is high; a little more keeps titles that fit clear of the next panel.
constexpr double characterAspect = 0.63;

// The numbers of both axes as AxisNumbers gives them, never PLplot's
// shared exponent, which has no room beside a panel's title.
void NumberLabel(PLINT axis, PLFLT value, char* label, PLINT length, PLPointer data) {
    const AxisNumbers* numbers = static_cast<const AxisNumbers*>(data);
    std::snprintf(label, static_cast<std::size_t>(length), "%s",
                  numbers[axis == PL_Y_AXIS ? 1 : 0].Label(value).c_str());
}

// An operation PLplot gives up on is said with the rest of its messages.
void Abandoned(PLCHAR_VECTOR message) { std::fprintf(stderr, "%s\n", message); }

// PLplot keeps one drawing at a time, and so do canvases.
platform::ErrorCapture* drawingCapture = nullptr;

// When PLplot gives up altogether it would print raw and end the process:
// it is said escaped, on one line, with what it said before, and the
// process ends with status 1.
int GiveUp(PLCHAR_VECTOR message) {
    const std::string said = drawingCapture ? drawingCapture->Take() : "";
    std::exit(PrintError("PLplot gave up drawing: " + ConsoleText(said + message), 1));
}

void Use(int index, Colour colour) {
    plscol0(index, colour.red, colour.green, colour.blue);
    plcol0(index);
}

}  // namespace

FigureCanvas::FigureCanvas(int width, int height)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height * 4, 255) {
    drawingCapture = &capture;
    plsabort(Abandoned);
    plsexit(GiveUp);
    plsdev("memcairo");
    plsmema(width, height, pixels.data());
    plinit();
    drawing = true;
    pladv(0);
    plschr(0.0, characterScale);
}

FigureCanvas::~FigureCanvas() {
    if (drawing) plend();
    drawingCapture = nullptr;
}

void FigureCanvas::Text(double x, double y, const std::string& text, Colour colour, double justify) {
    plvpor(0.0, 1.0, 0.0, 1.0);
    plwind(0.0, 1.0, 0.0, 1.0);
    Use(foreground, colour);
    plptex(x, y, 1.0, 0.0, justify, PlainText(text).c_str());
}

void FigureCanvas::Box(double left, double right, double bottom, double top, Colour colour) {
    plvpor(0.0, 1.0, 0.0, 1.0);
    plwind(0.0, 1.0, 0.0, 1.0);
    Fill(left, right, bottom, top, colour);
}

void FigureCanvas::Select(const PanelBox& box, const PanelRange& range) {
    plvpor(box.left, box.right, box.bottom, box.top);
    plwind(range.fromSeconds, range.toSeconds, range.low, range.high);
    low = range.low;
    high = range.high;
}

void FigureCanvas::Shade(double from, double to, Colour colour) { Fill(from, to, low, high, colour); }

void FigureCanvas::Fill(double left, double right, double bottom, double top, Colour colour) {
    PLFLT x[4] = {left, right, right, left}, y[4] = {bottom, bottom, top, top};
    Use(trace, colour);
    plfill(4, x, y);
}

void FigureCanvas::Axes(const PanelBox& box, const PanelRange& range, bool timeNumbers, const std::string& title) {
    Select(box, range);
    plwidth(1.0);
    Use(foreground, gridColour);
    plbox("g", range.time.Step(), 0, "g", range.value.Step(), 0);
    Use(foreground, frameColour);
    numbers[0] = range.time, numbers[1] = range.value;
    plslabelfunc(NumberLabel, numbers);
    plbox(timeNumbers ? "bcnsto" : "bcsto", range.time.Step(), 0, "bcnstvo", range.value.Step(), 0);
    plmtex("t", 0.9, 0.0, 0.0, PlainText(title).c_str());
}

double FigureCanvas::CharacterWidth() const {
    PLFLT defaultHeight = 0.0, height = 0.0, left = 0.0, right = 0.0, bottom = 0.0, top = 0.0;
    plgchr(&defaultHeight, &height);
    plgspa(&left, &right, &bottom, &top);
    return right > left ? characterAspect * height / (right - left) : 1.0;
}

void FigureCanvas::Line(const std::vector<double>& seconds, const std::vector<double>& values, Colour colour) {
    if (seconds.empty()) return;
    Use(trace, colour);
    plwidth(traceWidth);
    plline(static_cast<PLINT>(seconds.size()), seconds.data(), values.data());
}

const std::vector<std::uint8_t>& FigureCanvas::Finish() {
    if (drawing) plend();
    drawing = false;
    messages += capture.Take();
    return pixels;
}

std::string PlainText(const std::string& text) {
    std::string plain;
    for (char c : text) plain += c == '#' ? std::string("##") : std::string(1, c);
    return plain;
}
