#include "plot/ColumnReduction.h"

#include <algorithm>
#include <cmath>

namespace {

int ColumnOf(double seconds, double from, double width, int columns) {
    int column = static_cast<int>(std::floor((seconds - from) / width));
    return std::min(column, columns - 1);  // the last sample sits on the right edge
}

}  // namespace

std::vector<ColumnSpan> ReduceToColumns(const std::vector<double>& seconds, const std::vector<double>& values,
                                        double from, double to, int columns) {
    std::vector<ColumnSpan> spans;
    if (columns <= 0 || !(to > from)) return spans;
    const double width = (to - from) / columns;
    int current = -1;
    for (std::size_t i = 0; i < seconds.size() && i < values.size(); ++i) {
        if (seconds[i] < from || seconds[i] > to || !std::isfinite(values[i])) continue;
        int column = ColumnOf(seconds[i], from, width, columns);
        if (column != current) {
            spans.push_back({from + (column + 0.5) * width, values[i], values[i]});
            current = column;
        }
        spans.back().low = std::min(spans.back().low, values[i]);
        spans.back().high = std::max(spans.back().high, values[i]);
    }
    return spans;
}
