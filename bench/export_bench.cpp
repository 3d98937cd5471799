// The work behind "Write CSV File" and the "S" button: the CSV text of a full table, the whole
// export to disk, and one capture of a window-sized widget saved as BMP (no converter).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>

#include "export/csv_export.h"
#include "export/screenshot.h"

namespace {

orvalin::RecordTable fullTable() {
    orvalin::RecordTable table;
    for (int n = 0; n < orvalin::RecordTable::Capacity; ++n) {
        orvalin::ChannelValues values{};
        for (int c = 0; c < orvalin::ChannelCount; ++c) {
            values[static_cast<std::size_t>(c)] = orvalin::channelValue(c, (n * 7 + c * 13) & 0xff);
        }
        table.append()->Values = values;
    }
    return table;
}

void BM_CsvBytesFullTable(benchmark::State& state) {
    const orvalin::RecordTable table = fullTable();
    for (auto _ : state) {
        const QByteArray bytes = orvalin::csvFileBytes(table, u'.');
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * orvalin::csvFileBytes(table, u'.').size());
}
BENCHMARK(BM_CsvBytesFullTable)->Unit(benchmark::kMillisecond);

void BM_WriteCsvFileFullTable(benchmark::State& state) {
    const orvalin::RecordTable table = fullTable();
    QTemporaryDir dir;
    for (auto _ : state) {
        const orvalin::CsvExportResult result = orvalin::writeCsvFile(dir.path(), table, u'.');
        if (!result.written) state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_WriteCsvFileFullTable)->Unit(benchmark::kMillisecond);

void BM_CaptureWindowToBmp(benchmark::State& state) {
    QWidget window;
    window.setFixedSize(615, 696);
    for (int i = 0; i < 40; ++i) {
        auto* label = new QLabel(QStringLiteral("Label %1: 123.4").arg(i), &window);
        label->move(10 + (i % 3) * 200, 20 + (i / 3) * 40);
    }
    window.show();
    QTemporaryDir dir;
    orvalin::WindowCapture capture(QStringLiteral("orvalin-bench-no-converter"));
    capture.fitBuffer(window.size());
    for (auto _ : state) {
        const orvalin::CaptureResult result = capture.capture(window, dir.path() + u'/');
        if (!result.saved) state.SkipWithError("capture failed");
    }
}
BENCHMARK(BM_CaptureWindowToBmp)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
