// Timing helpers of the window benchmarks: paint counting and percentiles of millisecond figures.
#pragma once

#include <QEvent>
#include <QObject>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace orvalin::bench {

// Counts paint events of the widgets it is installed on.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

inline double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

inline void report(const char* what, const std::vector<double>& ms) {
    std::printf("%-44s median %7.3f ms   p99 %7.3f ms   max %7.3f ms\n", what, percentile(ms, 0.5),
                percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace orvalin::bench
