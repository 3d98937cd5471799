#include "export/record_format.h"

#include <QByteArray>
#include <QStringView>
#include <algorithm>
#include <string_view>

#include "decoder/csv_text.h"
#include "decoder/log_scan.h"
#include "decoder/timestamp.h"
#include "export/csv_fields.h"
#include "export/influx_lines.h"
#include "export/jsonl_fields.h"

namespace orvalin {

void RecordFormat::writeFrame(BufferedWriter& out, const ReceivedFrame& frame,
                              std::optional<qint64>) {
    // The log line that carried the frame, as far as any format reads it: the marks, the date
    // and time as logged, and the bytes as hex digits (for the window's record; the ASCII way
    // reads the raw values given to it).
    char16_t line[LogLineLength];
    for (const LineMark& mark : LineMarks) line[mark.position] = mark.character;
    const char16_t* logged = frame.logged.data();
    for (const LineField& field : {DateField, TimeField}) {
        for (const LinePiece& piece : field.pieces) {
            std::copy_n(logged, piece.length, line + piece.position);
            logged += piece.length;
        }
    }
    if (std::any_of(frame.logged.begin(), frame.logged.end(),
                    [](char16_t c) { return c >= 0x80; })) {
        static constexpr char16_t Hex[] = u"0123456789abcdef";
        for (int k = 0; k < FrameBytes; ++k) {
            const std::uint8_t byte = frame.bytes[static_cast<std::size_t>(k)];
            line[framePieceOffset(k)] = Hex[byte >> 4];
            line[framePieceOffset(k) + 1] = Hex[byte & 15];
        }
        // As the batch decoder hands on such a line: lower-cased and decoded by the window.
        TelemetryRecord record;
        readLogLine(QStringView(line, LogLineLength), record);
        writeRecord(out, record);
        return;
    }
    unsigned char ascii[LogLineLength]{};
    std::copy_n(line, FrameStart, ascii);
    std::uint8_t raws[ChannelCount];
    channelRawsOf(frame.bytes, raws);
    writeAsciiRecord(out, ascii, raws);
}

namespace {

class CsvFormat final : public RecordFormat {
public:
    CsvFormat(bool withTime, bool isoTime, QChar decimalSeparator)
        : withTime_(withTime),
          isoTime_(isoTime),
          decimalSeparator_(decimalSeparator),
          fields_(decimalSeparator) {}

    void writeHeader(BufferedWriter& out) override {
        if (isoTime_) out.append(TimestampHeader);
        const QByteArray header = csvHeaderLine(withTime_);
        out.append(std::string_view(header.constData(), static_cast<std::size_t>(header.size())));
    }

    void writeAsciiRecord(BufferedWriter& out, const unsigned char* line,
                          const std::uint8_t* raws) override {
        char* at = out.reserve(MaxLineBytes);
        if (isoTime_) {
            if (writeLineTimestamp(line, at)) at += IsoTimestampLength;
            *at++ = CsvFieldEnd;
        }
        if (withTime_) at = writeCsvDateTime(line, at);
        out.commit(fields_.writeRecord(at, raws));
    }

    void writeRecord(BufferedWriter& out, const TelemetryRecord& record) override {
        line_.clear();
        if (isoTime_) {
            line_ += isoTimestamp(record.DateText.view(), record.TimeText.view()).toLatin1();
            line_ += CsvFieldEnd;
        }
        appendCsvRecordLine(line_, record, decimalSeparator_, withTime_);
        out.append(std::string_view(line_.constData(), static_cast<std::size_t>(line_.size())));
    }

private:
    static constexpr char TimestampHeader[] = "Timestamp;";
    // "YYYY-MM-DDTHH:MM:SS;DD.MM.YYYY;HH:MM:SS;" and the fields.
    static constexpr std::size_t MaxLineBytes =
        IsoTimestampLength + 1 + CsvDateTimeBytes + CsvFieldCache::MaxRecordBytes;

    bool withTime_;
    bool isoTime_;
    QChar decimalSeparator_;
    CsvFieldCache fields_;
    QByteArray line_;
};

}  // namespace

std::unique_ptr<RecordFormat> makeRecordFormat(const RecordFormatOptions& options) {
    switch (options.format) {
        case OutputFormat::JsonLines:
            return makeJsonLinesFormat();
        case OutputFormat::Influx:
            return makeInfluxFormat(options.logTimeZone);
        case OutputFormat::Csv:
            break;
    }
    return std::make_unique<CsvFormat>(options.withTime, options.isoTime, options.decimalSeparator);
}

}  // namespace orvalin
