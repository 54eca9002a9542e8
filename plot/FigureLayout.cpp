#include "plot/FigureLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Pixels. Each panel keeps room on its left for the value numbers, above
// for its title; the footer holds the time numbers and label.
constexpr double headerHeight = 58.0;
constexpr double footerHeight = 40.0;
constexpr double panelTitleHeight = 25.0;
constexpr double panelGap = 6.0;
constexpr double valueMargin = 64.0;
constexpr double rightMargin = 14.0;
// A panel's title and gap, and room for a trace below them.
constexpr double minimumRowHeight = 80.0;

}  // namespace

FigureLayout::FigureLayout(int width, int height, int rows)
    : width(width), height(height), rowHeight((height - headerHeight - footerHeight) / std::max(rows, 1)) {}

int FigureLayout::HeightFor(int rows) {
    return static_cast<int>(std::ceil(headerHeight + footerHeight + std::max(rows, 1) * minimumRowHeight));
}

PanelBox FigureLayout::Panel(int row, int column) const {
    double panelWidth = static_cast<double>(width) / panelsPerRow;
    double left = column * panelWidth + valueMargin, right = (column + 1) * panelWidth - rightMargin;
    double top = headerHeight + row * rowHeight + panelTitleHeight;
    double bottom = headerHeight + (row + 1) * rowHeight - panelGap;
    return {left / width,
            right / width,
            FromTop(bottom),
            FromTop(top),
            std::max(1, static_cast<int>(right - left)),
            std::max(1, static_cast<int>(bottom - top))};
}

double FigureLayout::TitleY() const { return FromTop(20.0); }

double FigureLayout::LegendY() const { return FromTop(44.0); }

double FigureLayout::TimeLabelY() const { return FromTop(height - 8.0); }
