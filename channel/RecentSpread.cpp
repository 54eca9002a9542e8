#include "channel/RecentSpread.h"

#include <algorithm>

void RecentSpread::Add(Duration value) {
    values[next] = value;
    next = (next + 1) % capacity;
    count = std::min(count + 1, capacity);
}

void RecentSpread::Clear() { count = next = 0; }

RecentSpread::Values RecentSpread::Sorted() const {
    Values sorted = values;
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(count));
    return sorted;
}

RecentSpread::Duration RecentSpread::At(const Values& sorted, double fraction) const {
    if (count == 0) return Duration(0);
    auto rank = static_cast<std::size_t>(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(count - 1) + 0.5);
    return sorted[rank];
}

RecentSpread::Duration RecentSpread::Quantile(double fraction) const { return At(Sorted(), fraction); }

RecentSpread::Span RecentSpread::Between(double low, double high) const {
    Values sorted = Sorted();
    return {At(sorted, low), At(sorted, high)};
}

RecentSpread::Span RecentSpread::DensestSpan(Duration width) const {
    if (count == 0) return {Duration(0), Duration(0)};
    Values sorted = Sorted();
    std::size_t best = 0, bestEnd = 1;
    for (std::size_t first = 0, end = 0; first < count; ++first) {
        while (end < count && sorted[end] - sorted[first] <= width) ++end;
        if (end - first > bestEnd - best) best = first, bestEnd = end;
    }
    return {sorted[best], sorted[bestEnd - 1]};
}
