#pragma once

#include <vector>

// A series squeezed to one pixel column per `columns` of the time span
// [from, to]: per column the lowest and highest value of the samples whose
// time falls into it. However long the series, a trace then costs two points
// per column, and no spike is lost between pixels.
struct ColumnSpan {
    double seconds;  // the column's centre
    double low;
    double high;
};

// `seconds` never decreases; `values` holds one value per time. Values that
// are not finite (a station the server has lost) are left out, and so are
// columns without a value.
std::vector<ColumnSpan> ReduceToColumns(const std::vector<double>& seconds, const std::vector<double>& values,
                                        double from, double to, int columns);
