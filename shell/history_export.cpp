#include "shell/history_export.h"

#include <QFile>

#include "archive/read_ahead.h"
#include "export/record_format.h"
#include "files/atomic_file.h"
#include "files/byte_output.h"
#include "files/error_text.h"

namespace orvalin {

Result<qint64> exportHistory(const QString& archivePath, qint64 fromUtc, qint64 untilUtc,
                             const QString& path) {
    auto archive = FrameArchive::open(archivePath, {.readOnly = true});
    if (!archive) return archive.failure();
    AtomicFile file;
    if (Result<> opened = file.open(QFile::encodeName(path).toStdString()); !opened)
        return opened.failure();
    const bool jsonLines = path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive);
    const std::unique_ptr<RecordFormat> format =
        makeRecordFormat({.withTime = !jsonLines,
                          .decimalSeparator = u'.',
                          .format = jsonLines ? OutputFormat::JsonLines : OutputFormat::Csv,
                          .isoTime = !jsonLines});
    FdSink sink(file.fd());
    BufferedWriter out(sink);
    format->writeHeader(out);
    qint64 frames = 0;
    const Result<> read =
        readAhead(**archive, fromUtc, untilUtc + 1, false, [&](const StoredFrame& f) {
            format->writeFrame(out, f.frame, f.utc);
            ++frames;
            return !out.failed();
        });
    // A file written in place (its folder takes no new file) is cut, and the failure says so.
    if (!read) return file.failed(read.failure());
    if (!out.flush()) return file.failed(systemFailure(FailureKind::Unwritable, out.error()));
    if (Result<> synced = file.sync(); !synced) return file.failed(synced.failure());
    if (Result<> committed = file.commit(); !committed) return file.failed(committed.failure());
    return frames;
}

}  // namespace orvalin
