// Scans and decodes a 1000-line log text, the work the window repeats on every keystroke.
#include <benchmark/benchmark.h>

#include <QString>

#include "decoder/log_scan.h"

namespace {

QString makeLog(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i) {
        QString line = QStringLiteral("!06122026@%1;").arg(i % 86400, 6, 10, QLatin1Char('0'));
        for (int b = 0; b < 32; ++b)
            line += QStringLiteral("%1").arg((i * 7 + b * 13) & 0xff, 2, 16, QLatin1Char('0'));
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

void BM_ScanThousandLines(benchmark::State& state) {
    const QString text = makeLog(1000);
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
