#include "cli/record_format.h"

#include <QByteArray>
#include <string_view>

#include "cli/csv_fields.h"
#include "decoder/csv_text.h"
#include "decoder/timestamp.h"

namespace orvalin::cli {

bool writeLineTimestamp(const unsigned char* line, char* out) {
    char16_t date[8];
    char16_t time[6];
    for (int i = 0; i < 8; ++i) date[i] = line[1 + i];
    for (int i = 0; i < 6; ++i) time[i] = line[10 + i];
    return writeIsoTimestamp(date, time, out);
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
        if (isoTime_) out.append("Timestamp;");
        if (withTime_) out.append("Date;Time;");
        const QByteArray header = csvHeaderLine();
        out.append(std::string_view(header.constData(), static_cast<std::size_t>(header.size())));
    }

    void writeAsciiRecord(BufferedWriter& out, const unsigned char* line,
                          const std::uint8_t* raws) override {
        char* at = out.reserve(MaxLineBytes);
        if (isoTime_) {
            if (writeLineTimestamp(line, at)) at += IsoTimestampLength;
            *at++ = ';';
        }
        if (withTime_) {
            // "DD.MM.YYYY;HH:MM:SS;", lower-cased as the window shows them.
            for (const int from : AsciiDateLayout)
                *at++ = from < 32 ? lowerAscii(line[from]) : static_cast<char>(from);
            *at++ = ';';
            for (const int from : AsciiTimeLayout)
                *at++ = from < 32 ? lowerAscii(line[from]) : static_cast<char>(from);
            *at++ = ';';
        }
        out.commit(fields_.writeRecord(at, raws));
    }

    void writeRecord(BufferedWriter& out, const TelemetryRecord& record) override {
        line_.clear();
        if (isoTime_) {
            line_ += isoTimestamp(record.DateText.view(), record.TimeText.view()).toLatin1();
            line_ += ';';
        }
        if (withTime_) {
            line_ += record.DateText.toString().toUtf8();
            line_ += ';';
            line_ += record.TimeText.toString().toUtf8();
            line_ += ';';
        }
        appendCsvRecordLine(line_, record.Values, decimalSeparator_);
        out.append(std::string_view(line_.constData(), static_cast<std::size_t>(line_.size())));
    }

private:
    // "YYYY-MM-DDTHH:MM:SS;DD.MM.YYYY;HH:MM:SS;" and the fields.
    static constexpr std::size_t MaxLineBytes = 40 + CsvFieldCache::MaxRecordBytes;

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

}  // namespace orvalin::cli
