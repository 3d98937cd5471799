// "Export..." of the Mission History window: the frames of the shown range, read from the
// station archive, as the batch decoder writes them with --from-archive: CSV (with the
// Timestamp, Date and Time columns first) or JSON Lines, chosen by the file's extension. The
// file is written whole or not at all, in a thread of its own; the window says how it went.
#pragma once

#include <QString>
#include <QtGlobal>

#include "files/failure.h"

namespace orvalin {

inline constexpr char HistoryExportTitle[] = "Export Mission History";

// Writes the archived frames with fromUtc <= utc <= untilUtc to `path`: JSON Lines for a name
// ending in ".jsonl", CSV otherwise. How many frames were written.
Result<qint64> exportHistory(const QString& archivePath, qint64 fromUtc, qint64 untilUtc,
                             const QString& path);

}  // namespace orvalin
