// CSV record lines for the batch decoder, built from number texts computed once.
//
// Every channel value depends on its own raw byte (0 to 255) alone, so there are only
// 29 x 256 different fields. Each is made once by the window's appendCsvField of
// channelValue and then copied: a record line built from these pieces is byte for byte what
// appendCsvRecordLine writes for the decoded values.
#pragma once

#include <QChar>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decoder/channels.h"

namespace orvalin {

class CsvFieldCache {
public:
    // Room for one field: at most 22 characters of number text ("-1.23456789012345E-100"),
    // a separator of up to 3 UTF-8 bytes counted once more, ";", and the length byte.
    static constexpr std::size_t FieldSlot = 32;
    // The most bytes writeRecord() writes, copies of whole slots included.
    static constexpr std::size_t MaxRecordBytes = ChannelCount * FieldSlot + 2;

    explicit CsvFieldCache(QChar decimalSeparator);

    // The number text of `channel` for the raw byte `raw`, followed by ";".
    std::string_view field(ChannelIndex channel, std::uint8_t raw) const {
        const Slot& slot = slots_[index(channel, raw)];
        return {slot.data(), static_cast<std::size_t>(slot[FieldSlot - 1])};
    }

    // Writes the 29 fields of the raw bytes (in channel order) and CR LF at `out`, which has
    // MaxRecordBytes of room; returns the end of the line.
    char* writeRecord(char* out, const std::uint8_t* raws) const;

private:
    using Slot = std::array<char, FieldSlot>;  // text, then its length in the last byte
    static std::size_t index(ChannelIndex channel, std::uint8_t raw) {
        return static_cast<std::size_t>(channel) * 256 + raw;
    }
    std::array<Slot, ChannelCount * 256> slots_{};
};

}  // namespace orvalin
