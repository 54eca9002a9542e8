#include "plot/FigureCanvas.h"

#include <plplot/plplot.h>

#include <string>

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

void Use(int index, Colour colour) {
    plscol0(index, colour.red, colour.green, colour.blue);
    plcol0(index);
}

}  // namespace

FigureCanvas::FigureCanvas(int width, int height)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height * 4, 255) {
    plsdev("memcairo");
    plsmema(width, height, pixels.data());
    plinit();
    drawing = true;
    pladv(0);
    plschr(0.0, characterScale);
}

FigureCanvas::~FigureCanvas() {
    if (drawing) plend();
}

void FigureCanvas::Text(double x, double y, const std::string& text, Colour colour) {
    plvpor(0.0, 1.0, 0.0, 1.0);
    plwind(0.0, 1.0, 0.0, 1.0);
    Use(foreground, colour);
    plptex(x, y, 1.0, 0.0, 0.5, PlainText(text).c_str());
}

void FigureCanvas::Axes(const PanelBox& box, const PanelRange& range, bool timeNumbers, const std::string& title) {
    plvpor(box.left, box.right, box.bottom, box.top);
    plwind(range.fromSeconds, range.toSeconds, range.low, range.high);
    plwidth(1.0);
    Use(foreground, gridColour);
    plbox("g", 0.0, 0, "g", range.valueStep, 0);
    Use(foreground, frameColour);
    plbox(timeNumbers ? "bcnst" : "bcst", 0.0, 0, "bcnstv", range.valueStep, 0);
    plmtex("t", 0.6, 0.0, 0.0, PlainText(title).c_str());
}

double FigureCanvas::CharacterWidth() const {
    PLFLT defaultHeight = 0.0, height = 0.0, left = 0.0, right = 0.0, bottom = 0.0, top = 0.0;
    plgchr(&defaultHeight, &height);
    plgspa(&left, &right, &bottom, &top);
    return right > left ? characterAspect * height / (right - left) : 1.0;
}

void FigureCanvas::Trace(const std::vector<ColumnSpan>& spans, Colour colour) {
    std::vector<PLFLT> x, y;
    for (const ColumnSpan& span : spans) {
        x.insert(x.end(), {span.seconds, span.seconds});
        y.insert(y.end(), {span.low, span.high});
    }
    if (x.empty()) return;
    Use(trace, colour);
    plwidth(traceWidth);
    plline(static_cast<PLINT>(x.size()), x.data(), y.data());
}

const std::vector<std::uint8_t>& FigureCanvas::Finish() {
    if (drawing) plend();
    drawing = false;
    return pixels;
}

std::string PlainText(const std::string& text) {
    std::string plain;
    for (char c : text) plain += c == '#' ? std::string("##") : std::string(1, c);
    return plain;
}
