// Fuzz target: the batch decoder's line reader.
//
// Input: one settings byte (bit 0: date and time columns; bits 1-2: decimal separator), four
// bytes that seed the chunk sizes, then the bytes of a log file.
//
// Properties: the output (CSV, rejection report, line counts) is the same whether the bytes
// come in one piece or in chunks of any size, empty chunks included; every line is counted
// once as accepted, rejected or empty, and each rejection is one report line; LF, CR LF and
// U+2028 line ends give the same output; an abandoned source drops only its unfinished last
// line; and the records are byte for byte what the window writes for the same text pasted
// into its text box, a byte-order mark included (its first 1000 records, the rest only
// counted).
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "cli/log_stream.h"
#include "decoder/csv_text.h"
#include "decoder/log_scan.h"
#include "decoder/log_text.h"
#include "decoder/record_table.h"
#include "files/byte_output.h"
#include "fuzz_support.h"

namespace orvalin::fuzz {
namespace {

using cli::LineCounts;
using cli::LogStreamDecoder;

constexpr std::array<char16_t, 4> Separators = {u'.', u',', u'\u066b', u'.'};

// Bit 0: date and time columns; bits 1-2: the decimal separator.
RecordFormatOptions decodeSettings(std::uint8_t settingsByte) {
    return {(settingsByte & 1u) != 0, QChar(Separators[(settingsByte >> 1) & 3u])};
}

struct StreamOutput {
    std::string csv;
    std::string report;
    LineCounts counts;
};

bool operator==(const LineCounts& a, const LineCounts& b) {
    return a.accepted == b.accepted && a.rejected == b.rejected && a.empty == b.empty;
}

// One decoder with its writers. Building a decoder formats every field of every channel once,
// so decoders are kept from one input to the next; each run is one source of its own, which
// starts from nothing, and counts are taken as differences.
class StreamRig {
public:
    StreamRig(const RecordFormatOptions& settings, std::size_t csvCapacity,
              std::size_t reportCapacity)
        : csv_(csvSink_, csvCapacity),
          report_(reportSink_, reportCapacity),
          decoder_(settings, csv_, &report_) {}

    // Feeds `bytes` in one piece, or in the sizes `chunks` gives when there are any.
    StreamOutput run(const QByteArray& bytes, ChunkSizes* chunks, bool abandon) {
        csvSink_.bytes.clear();
        reportSink_.bytes.clear();
        const LineCounts before = decoder_.counts();
        decoder_.writeHeader();
        decoder_.beginSource("log");
        const char* at = bytes.constData();
        std::size_t left = static_cast<std::size_t>(bytes.size());
        while (chunks != nullptr && left > 0) {
            const std::size_t size = chunks->next(left);
            decoder_.feed(at, size);
            at += size;
            left -= size;
        }
        decoder_.feed(at, left);
        if (abandon) {
            decoder_.abandonSource();
        } else {
            decoder_.endSource();
        }
        FUZZ_CHECK(csv_.flush() && report_.flush());
        const LineCounts after = decoder_.counts();
        return {std::move(csvSink_.bytes),
                std::move(reportSink_.bytes),
                {after.accepted - before.accepted, after.rejected - before.rejected,
                 after.empty - before.empty}};
    }

private:
    StringSink csvSink_;
    StringSink reportSink_;
    BufferedWriter csv_;
    BufferedWriter report_;
    LogStreamDecoder decoder_;
};

// Large buffers, or buffers barely above one record line (report: one line number), which
// makes the writers flush in the middle of a line's output.
StreamRig& rigFor(std::uint8_t settingsByte, bool smallBuffers) {
    static std::array<std::unique_ptr<StreamRig>, 16> rigs;
    const std::size_t index = (settingsByte & 7u) * 2 + (smallBuffers ? 1 : 0);
    if (!rigs[index]) {
        const RecordFormatOptions settings = decodeSettings(settingsByte);
        rigs[index] = smallBuffers ? std::make_unique<StreamRig>(settings, 1024, 24)
                                   : std::make_unique<StreamRig>(settings, 1 << 16, 1 << 16);
    }
    return *rigs[index];
}

bool sameOutput(const StreamOutput& a, const StreamOutput& b) {
    return a.csv == b.csv && a.report == b.report && a.counts == b.counts;
}

// Every LF that has no CR before it gets one, or becomes U+2028.
QByteArray withLineEnd(const QByteArray& bytes, const QByteArray& end) {
    QByteArray text;
    text.reserve(bytes.size() * 3);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) {
            text += end;
        } else {
            text += bytes[i];
        }
    }
    return text;
}

std::uint64_t occurrences(const std::string& text, std::string_view what) {
    std::uint64_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// The text the window's scan reads when the log's text is pasted into its text box: every
// line break written as CR LF. A byte-order mark is a character of a pasted text, so it is
// decoded here without the batch decoder's own reading, which must keep it too.
QString windowText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                    QStringConverter::Flag::Stateless);
    QString text;
    appendWithCrLfBreaks(text, QString(utf8.decode(bytes)));
    return text;
}

// What the window's CSV export writes for the text, with the date and time first when asked.
QByteArray windowCsv(const QString& text, const RecordFormatOptions& settings, ScanResult& result) {
    static RecordTable table;  // large: kept from one input to the next
    result = scanLogText(text, table);
    QByteArray csv = csvHeaderLine(settings.withTime);
    for (int slot = 1; slot <= table.count(); ++slot)
        appendCsvRecordLine(csv, table.record(slot), settings.decimalSeparator, settings.withTime);
    return csv;
}

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin;
    using namespace orvalin::fuzz;
    InputBytes input(data, size);
    const std::uint8_t settingsByte = input.takeByte();
    ChunkSizes chunks(input.takeUint32());
    const QByteArray bytes = input.rest();

    StreamRig& rig = rigFor(settingsByte, false);
    const StreamOutput whole = rig.run(bytes, nullptr, false);
    FUZZ_CHECK(sameOutput(rigFor(settingsByte, true).run(bytes, &chunks, false), whole));

    // Every line counted once, every rejection reported once. The window's text has one
    // CR LF per line break; the text after the last one is a line when it is not empty.
    const QString text = windowText(bytes);
    const auto lines = static_cast<std::uint64_t>(text.count(QStringLiteral("\r\n"))) +
                       (!text.isEmpty() && !text.endsWith(QStringLiteral("\r\n")) ? 1 : 0);
    FUZZ_CHECK(whole.counts.accepted + whole.counts.rejected + whole.counts.empty == lines);
    FUZZ_CHECK(occurrences(whole.report, "\n") == whole.counts.rejected);
    FUZZ_CHECK(whole.report.empty() || whole.report.rfind("log:", 0) == 0);
    FUZZ_CHECK(occurrences(whole.report, "\nlog:") + (whole.report.empty() ? 0 : 1) ==
               whole.counts.rejected);
    // The header and one CR LF-terminated line per accepted line; no field holds CR LF.
    FUZZ_CHECK(occurrences(whole.csv, "\r\n") == 1 + whole.counts.accepted);

    // LF, CR LF or U+2028: the same log.
    FUZZ_CHECK(sameOutput(rig.run(withLineEnd(bytes, "\r\n"), nullptr, false), whole));
    FUZZ_CHECK(sameOutput(rig.run(withLineEnd(bytes, "\xe2\x80\xa8"), nullptr, false), whole));

    // An abandoned source is decoded up to its last complete line.
    const QByteArray complete = bytes.left(lastLineStart(bytes));
    FUZZ_CHECK(sameOutput(rig.run(bytes, nullptr, true), rig.run(complete, nullptr, false)));

    // The window, given the same text, writes the same records.
    ScanResult scan;
    const QByteArray expected = windowCsv(text, decodeSettings(settingsByte), scan);
    const std::string_view window(expected.constData(), static_cast<std::size_t>(expected.size()));
    FUZZ_CHECK(whole.counts.accepted == static_cast<std::uint64_t>(scan.stored + scan.leftOut));
    FUZZ_CHECK(scan.leftOut == 0 ? whole.csv == window : whole.csv.starts_with(window));
    return 0;
}
