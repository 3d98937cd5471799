#include "export/jsonl_fields.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "decoder/log_line.h"
#include "decoder/timestamp.h"

namespace orvalin {

namespace {

// One byte of UTF-8 text inside a JSON string; at most 6 bytes written.
char* writeJsonStringByte(char* out, unsigned char c) {
    if (c >= 0x20 && c != '"' && c != '\\') {
        *out++ = static_cast<char>(c);
        return out;
    }
    *out++ = '\\';
    switch (c) {
        case '"':
        case '\\':
            *out++ = static_cast<char>(c);
            return out;
        case '\b':
            *out++ = 'b';
            return out;
        case '\f':
            *out++ = 'f';
            return out;
        case '\n':
            *out++ = 'n';
            return out;
        case '\r':
            *out++ = 'r';
            return out;
        case '\t':
            *out++ = 't';
            return out;
        default:
            static constexpr char Hex[] = "0123456789abcdef";
            std::memcpy(out, "u00", 3);
            out[3] = Hex[c >> 4];
            out[4] = Hex[c & 15];
            return out + 5;
    }
}

char* copyText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

template <std::size_t Size>
void fillSlot(std::array<char, Size>& slot, const std::string& text) {
    if (text.size() > Size - 1) throw std::length_error("JSON text longer than its slot");
    std::memcpy(slot.data(), text.data(), text.size());
    slot[Size - 1] = static_cast<char>(text.size());
}

constexpr std::string_view DateKey = R"({"date":")";
constexpr std::string_view TimeKey = R"(","time":")";
constexpr std::string_view TimestampKey = R"(","timestamp":)";

}  // namespace

std::string jsonNumberText(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string jsonStringText(std::string_view text) {
    std::string out(text.size() * 6 + 2, '\0');
    char* at = out.data();
    *at++ = '"';
    for (const char c : text) at = writeJsonStringByte(at, static_cast<unsigned char>(c));
    *at++ = '"';
    out.resize(static_cast<std::size_t>(at - out.data()));
    return out;
}

void appendJsonRecordLine(std::string& out, const TelemetryRecord& record) {
    out += R"({"date":)";
    out += jsonStringText(record.DateText.toString().toStdString());
    out += R"(,"time":)";
    out += jsonStringText(record.TimeText.toString().toStdString());
    out += R"(,"timestamp":)";
    const QString timestamp = isoTimestamp(record.DateText.view(), record.TimeText.view());
    out += timestamp.isEmpty() ? std::string("null") : jsonStringText(timestamp.toStdString());
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        out += ',';
        out += jsonStringText(ChannelCatalogue[static_cast<std::size_t>(c)].caption);
        out += ':';
        out += jsonNumberText(record.Values[static_cast<std::size_t>(c)]);
    }
    out += "}\n";
}

std::array<std::string, ChannelCount> jsonFieldKeys() {
    std::array<std::string, ChannelCount> keys;
    for (std::size_t c = 0; c < keys.size(); ++c)
        keys[c] = "," + jsonStringText(ChannelCatalogue[c].caption) + ":";
    return keys;
}

NumberFieldCache::NumberFieldCache(const std::array<std::string, ChannelCount>& keys) {
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const auto channel = static_cast<std::size_t>(c);
        fillSlot(keys_[channel], keys[channel]);
        for (int raw = 0; raw < 256; ++raw)
            fillSlot(values_[channel * 256 + static_cast<std::size_t>(raw)],
                     jsonNumberText(channelValue(c, raw)));
    }
}

char* NumberFieldCache::writeFields(char* out, const std::uint8_t* raws) const {
    for (std::size_t c = 0; c < ChannelCount; ++c) {
        // Whole slots are copied (fixed-size copies are a few vector moves), and the end
        // advances by the length of the text; the next copy overwrites the rest.
        const KeyText& key = keys_[c];
        std::memcpy(out, key.data(), KeySlot);
        out += static_cast<unsigned char>(key[KeySlot - 1]);
        const ValueText& value = values_[c * 256 + raws[c]];
        std::memcpy(out, value.data(), ValueSlot);
        out += static_cast<unsigned char>(value[ValueSlot - 1]);
    }
    return out;
}

namespace {

class JsonLinesFormat final : public RecordFormat {
public:
    void writeHeader(BufferedWriter&) override {}  // JSON Lines have none

    void writeAsciiRecord(BufferedWriter& out, const unsigned char* line,
                          const std::uint8_t* raws) override {
        char* at = copyText(out.reserve(MaxLineBytes), DateKey);
        at = writeFieldText(at, DateField, line);
        at = copyText(at, TimeKey);
        at = writeFieldText(at, TimeField, line);
        at = copyText(at, TimestampKey);
        if (writeLineTimestamp(line, at + 1)) {
            *at = '"';
            at += 1 + IsoTimestampLength;
            *at++ = '"';
        } else {
            at = copyText(at, "null");
        }
        at = fields_.writeFields(at, raws);
        *at++ = '}';
        *at++ = '\n';
        out.commit(at);
    }

    void writeRecord(BufferedWriter& out, const TelemetryRecord& record) override {
        line_.clear();
        appendJsonRecordLine(line_, record);
        out.append(line_);
    }

private:
    // The date or time text as the window shows it (lower-cased), inside a JSON string.
    static char* writeFieldText(char* at, const LineField& field, const unsigned char* line) {
        unsigned char text[MaxFieldText];
        const unsigned char* const end =
            writeLineField(field, line, text, asciiLower<unsigned char>);
        for (const unsigned char* c = text; c < end; ++c) at = writeJsonStringByte(at, *c);
        return at;
    }

    static constexpr std::size_t MaxFieldText = 10;
    static_assert(static_cast<std::size_t>(DateField.textLength()) <= MaxFieldText &&
                  static_cast<std::size_t>(TimeField.textLength()) <= MaxFieldText);
    // The keys, the characters of date and time that may each be escaped into 6, the quoted
    // timestamp, the fields and "}\n".
    static constexpr std::size_t MaxLineBytes =
        DateKey.size() + TimeKey.size() + TimestampKey.size() +
        static_cast<std::size_t>(DateField.textLength() + TimeField.textLength()) * 6 +
        IsoTimestampLength + 2 + NumberFieldCache::MaxFieldsBytes + 2;

    NumberFieldCache fields_{jsonFieldKeys()};
    std::string line_;
};

}  // namespace

std::unique_ptr<RecordFormat> makeJsonLinesFormat() {
    return std::make_unique<JsonLinesFormat>();
}

}  // namespace orvalin
