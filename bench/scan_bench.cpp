// Scans and decodes a 1000-line log text, the work the window repeats on every keystroke.
#include <benchmark/benchmark.h>

#include <QString>

#include "decoder/log_scan.h"
#include "log_text.h"

namespace {

void BM_ScanThousandLines(benchmark::State& state) {
    const QString text = orvalin::bench::logText(1000);
    orvalin::RecordTable table;
    for (auto _ : state) {
        const auto result = orvalin::scanLogText(text, table);
        benchmark::DoNotOptimize(result);
    }
    state.counters["lines"] = 1000;
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_ScanThousandLines)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
