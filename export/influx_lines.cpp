#include "export/influx_lines.h"

#include <array>
#include <charconv>
#include <cstring>
#include <utility>

#include "export/jsonl_fields.h"
#include "settings/log_time.h"

namespace orvalin {

std::string influxKeyText(std::string_view key) {
    std::string text;
    for (const char c : key) {
        if (c == ' ' || c == ',' || c == '=') text += '\\';
        text += c;
    }
    return text;
}

namespace {

constexpr qint64 NanosecondsPerSecond = 1'000'000'000;
// "-9223372036854775808"
constexpr std::size_t MaxNanosecondsText = 20;

char* writeNanoseconds(char* at, qint64 nanoseconds) {
    return std::to_chars(at, at + MaxNanosecondsText, nanoseconds).ptr;
}

// The keys with what stands before them: the space after the measurement, then commas.
std::array<std::string, ChannelCount> influxFieldKeys() {
    std::array<std::string, ChannelCount> keys;
    for (std::size_t c = 0; c < keys.size(); ++c)
        keys[c] = (c == 0 ? " " : ",") + influxKeyText(ChannelCatalogue[c].caption) + "=";
    return keys;
}

class InfluxFormat final : public RecordFormat {
public:
    explicit InfluxFormat(QTimeZone logTimeZone) : times_(std::move(logTimeZone)) {}

    void writeHeader(BufferedWriter&) override {}  // line protocol has none

    void writeAsciiRecord(BufferedWriter& out, const unsigned char* line,
                          const std::uint8_t* raws) override {
        ReceivedFrame logged;
        logged.logged = loggedCharactersOf(line);
        writeFields(out, raws, times_.utcSeconds(logged));
    }

    void writeRecord(BufferedWriter& out, const TelemetryRecord& record) override {
        // The record's texts hold the line's pieces with one separator between them,
        // lower-cased, which changes no digit.
        ReceivedFrame logged;
        std::size_t at = 0;
        bool complete = true;
        for (const auto& [field, text] : {std::pair{DateField, record.DateText.view()},
                                          std::pair{TimeField, record.TimeText.view()}}) {
            complete = complete && text.size() == field.textLength();
            if (!complete) break;
            qsizetype from = 0;
            for (const LinePiece& piece : field.pieces) {
                for (int i = 0; i < piece.length; ++i)
                    logged.logged[at++] = text[from + i].unicode();
                from += piece.length + 1;
            }
        }
        const std::optional<qint64> nanoseconds =
            stamp(complete ? times_.utcSeconds(logged) : std::nullopt);
        if (!nanoseconds) return;
        line_.clear();
        appendInfluxLine(line_, record.Values, *nanoseconds);
        out.append(line_);
    }

    void writeFrame(BufferedWriter& out, const ReceivedFrame& frame,
                    std::optional<qint64> utcSeconds) override {
        std::uint8_t raws[ChannelCount];
        channelRawsOf(frame.bytes, raws);
        writeFields(out, raws, utcSeconds);
    }

    FramesLeftOut leftOut() const override { return leftOut_; }

private:
    void writeFields(BufferedWriter& out, const std::uint8_t* raws,
                     std::optional<qint64> utcSeconds) {
        const std::optional<qint64> nanoseconds = stamp(utcSeconds);
        if (!nanoseconds) return;
        char* at = out.reserve(MaxLineBytes);
        std::memcpy(at, InfluxMeasurement.data(), InfluxMeasurement.size());
        at = fields_.writeFields(at + InfluxMeasurement.size(), raws);
        *at++ = ' ';
        at = writeNanoseconds(at, *nanoseconds);
        *at++ = '\n';
        out.commit(at);
    }

    // The instant of the next line in nanoseconds, or nothing when it is left out.
    std::optional<qint64> stamp(std::optional<qint64> utcSeconds) {
        if (!utcSeconds) {
            ++leftOut_.withoutUtcTime;
            return std::nullopt;
        }
        if (*utcSeconds < FirstInfluxSecond || *utcSeconds > LastInfluxSecond) {
            ++leftOut_.outsideTimeRange;
            return std::nullopt;
        }
        if (second_ == utcSeconds) {
            ++inSecond_;
        } else {
            second_ = utcSeconds;
            inSecond_ = 0;
        }
        return *utcSeconds * NanosecondsPerSecond + inSecond_;
    }

    // The measurement, the fields, a space, the instant and LF.
    static constexpr std::size_t MaxLineBytes =
        InfluxMeasurement.size() + NumberFieldCache::MaxFieldsBytes + 1 + MaxNanosecondsText + 1;

    LogTimeConverter times_;
    NumberFieldCache fields_{influxFieldKeys()};
    std::optional<qint64> second_;  // the UTC second of the last line written
    qint64 inSecond_ = 0;           // lines written before in that second
    FramesLeftOut leftOut_;
    std::string line_;
};

}  // namespace

void appendInfluxLine(std::string& out, const ChannelValues& values, qint64 nanoseconds) {
    out += InfluxMeasurement;
    for (std::size_t c = 0; c < values.size(); ++c) {
        out += c == 0 ? ' ' : ',';
        out += influxKeyText(ChannelCatalogue[c].caption);
        out += '=';
        out += jsonNumberText(values[c]);
    }
    out += ' ';
    char text[MaxNanosecondsText];
    out.append(text, writeNanoseconds(text, nanoseconds));
    out += '\n';
}

std::unique_ptr<RecordFormat> makeInfluxFormat(QTimeZone logTimeZone) {
    return std::make_unique<InfluxFormat>(std::move(logTimeZone));
}

}  // namespace orvalin
