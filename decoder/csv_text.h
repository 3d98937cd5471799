// Lines of the semicolon-separated CSV file, shared by the window's export and the batch
// decoder so that both write the same bytes: ";" after every field, CR LF after every line,
// 8-bit text without a byte-order mark (UTF-8 for a non-ASCII decimal separator).
#pragma once

#include <QByteArray>
#include <QChar>

#include "decoder/channels.h"

namespace orvalin {

// "SP4 Volts;GS4 Curr;...;SU TH G0;" followed by CR LF.
QByteArray csvHeaderLine();

// The 29 values as number text, each followed by ";", then CR LF.
void appendCsvRecordLine(QByteArray& out, const ChannelValues& values, QChar decimalSeparator);

}  // namespace orvalin
