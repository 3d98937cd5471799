#include "export/record_format.h"

#include <QByteArray>
#include <string_view>

#include "decoder/csv_text.h"
#include "decoder/timestamp.h"
#include "export/csv_fields.h"
#include "export/jsonl_fields.h"

namespace orvalin {

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

std::unique_ptr<RecordFormat> makeCsvFormat(bool withTime, bool isoTime, QChar decimalSeparator) {
    return std::make_unique<CsvFormat>(withTime, isoTime, decimalSeparator);
}

std::unique_ptr<RecordFormat> makeRecordFormat(const RecordFormatOptions& options) {
    if (options.format == OutputFormat::JsonLines) return makeJsonLinesFormat();
    return makeCsvFormat(options.withTime, options.isoTime, options.decimalSeparator);
}

}  // namespace orvalin
