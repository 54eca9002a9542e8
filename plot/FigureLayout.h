#pragma once

// Where a figure of `rows` rows of three panels puts things, in PLplot's
// normalised page coordinates (0..1, y upwards): a header with the title and
// the legend, the panels, and under the bottom row the shared time axis.
struct PanelBox {
    double left, right, bottom, top;
    int pixelColumns;  // the plot area's width in pixels
    int pixelRows;     // and its height
};

class FigureLayout {
public:
    static constexpr int panelsPerRow = 3;

    FigureLayout(int width, int height, int rows);

    // The least height in pixels at which `rows` rows of panels stay legible.
    static int HeightFor(int rows);

    PanelBox Panel(int row, int column) const;
    double TitleY() const;
    double LegendY() const;
    // Where the time axis's label goes, below the bottom row's numbers.
    double TimeLabelY() const;

private:
    double FromTop(double pixels) const { return 1.0 - pixels / height; }

    int width;
    int height;
    double rowHeight;  // pixels
};
