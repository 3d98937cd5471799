// JSON Lines records of the batch decoder: one object per accepted log line,
//
//   {"date":"06.12.2026","time":"12:34:56","timestamp":"2026-12-06T12:34:56",
//    "SP4 Volts":0.10570800000000001,"GS4 Curr":8.5344,...,"SU TH G0":82.66666666666667}
//
// "date" and "time" are the texts the window shows, "timestamp" the ISO 8601 text of
// decoder/timestamp.h or null, then the 29 channel captions with their values. A value is the
// shortest number text that reads back to exactly the double the window holds (std::to_chars
// without a precision); channel values are always finite, so no value is ever out of JSON.
//
// appendJsonRecordLine is the definition; the fast path for the raw bytes of a line copies
// per-byte texts made once (NumberFieldCache, as csv_fields.h does for CSV) and is tested
// against it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "decoder/channels.h"
#include "decoder/record_table.h"
#include "export/record_format.h"

namespace orvalin {

// The shortest text that reads back to exactly `value`; "null" for a value JSON cannot hold.
std::string jsonNumberText(double value);

// `text` (UTF-8) as a JSON string, quotes included: '"', '\' and control characters escaped.
std::string jsonStringText(std::string_view text);

// One record as a JSON Lines line, LF at its end.
void appendJsonRecordLine(std::string& out, const TelemetryRecord& record);

// The 29 fields of a record, each a key and the shortest number text of the value (as
// jsonNumberText writes it), from texts made once for every channel and raw byte. JSON Lines
// and InfluxDB lines share the number texts and differ in their keys.
class NumberFieldCache {
public:
    // Room for a key such as `,"caption":` and for a number text, each with its length in the
    // last byte. Small slots keep the table (29 x 256 values, 178 KiB) in the processor's
    // cache; a text that does not fit is an error when the cache is made, never a cut field.
    static constexpr std::size_t KeySlot = 16;
    static constexpr std::size_t ValueSlot = 24;
    // The most bytes writeFields() writes, copies of whole slots included.
    static constexpr std::size_t MaxFieldsBytes = ChannelCount * (KeySlot + ValueSlot);

    // keys[c] goes before the value of channel c.
    explicit NumberFieldCache(const std::array<std::string, ChannelCount>& keys);

    // The number text of `channel` for the raw byte `raw`.
    std::string_view value(ChannelIndex channel, std::uint8_t raw) const {
        const ValueText& slot = values_[static_cast<std::size_t>(channel) * 256 + raw];
        return {slot.data(), static_cast<std::size_t>(slot[ValueSlot - 1])};
    }

    // Writes key and value for the 29 raw bytes (in channel order) at `out`, which has
    // MaxFieldsBytes of room; returns the end.
    char* writeFields(char* out, const std::uint8_t* raws) const;

private:
    using KeyText = std::array<char, KeySlot>;
    using ValueText = std::array<char, ValueSlot>;
    std::array<KeyText, ChannelCount> keys_{};
    std::array<ValueText, ChannelCount * 256> values_{};
};

// The keys of JSON Lines: `,"caption":`.
std::array<std::string, ChannelCount> jsonFieldKeys();

std::unique_ptr<RecordFormat> makeJsonLinesFormat();

}  // namespace orvalin
