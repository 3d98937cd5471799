// How a log file's bytes become text, and how the window's text reaches the scan. The window
// and the batch decoder both read through these rules and the line rule (decoder/line_rule.h),
// so the same log gives both the same records.
#pragma once

#include <QString>
#include <QStringView>

#include "decoder/line_rule.h"

namespace orvalin {

// Appends `text` to `out` with every line break (CR LF counted as one) written as CR LF:
// the text as the scan reads it.
void appendWithCrLfBreaks(QString& out, QStringView text);

// The bytes of a log file as text: UTF-8, where every byte that is not part of valid UTF-8
// becomes one U+FFFD. A byte-order mark stays the character U+FEFF, as a paste carries it
// into the window, so a log line behind one has 82 characters there and here alike.
QString textOfUtf8(const char* bytes, qsizetype size);

}  // namespace orvalin
