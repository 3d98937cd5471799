// A frame as the intake finds it on an accepted log line: the reception date and time as
// logged and the 32 frame bytes, and whether all 64 frame characters are hex digits. The record
// table decodes any accepted line, reading odd characters leniently; only a frame of true hex
// is kept in the station archive and shared.
#pragma once

#include <QString>
#include <array>

#include "decoder/hex.h"
#include "decoder/log_line.h"

namespace orvalin {

struct ReceivedFrame {
    // The line's day, month, year, hour, minute and second characters as written (DDMMYYYY
    // then HHMMSS), unchecked: a line with letters in its date is a log line too.
    std::array<char16_t, 14> logged{};
    FrameBytes32 bytes{};  // as the record decodes them
    bool trueHex = false;

    // "DD.MM.YYYY HH:MM:SS", as the record view shows the date and time.
    QString receivedText() const;
};

// The date and time characters of a log line as written (DDMMYYYY then HHMMSS).
template <typename Unit>
std::array<char16_t, 14> loggedCharactersOf(const Unit* line) {
    std::array<char16_t, 14> logged{};
    std::size_t at = 0;
    for (const LineField& field : {DateField, TimeField}) {
        for (const LinePiece& piece : field.pieces) {
            for (int i = 0; i < piece.length; ++i)
                logged[at++] = static_cast<char16_t>(line[piece.position + i]);
        }
    }
    return logged;
}

// The raw value of each channel, in the catalogue's order: the frame byte it reads.
inline void channelRawsOf(const FrameBytes32& bytes, std::uint8_t (&raws)[ChannelCount]) {
    for (ChannelIndex c = 0; c < ChannelCount; ++c)
        raws[c] = bytes[static_cast<std::size_t>(ChannelCatalogue[c].frameByte)];
}

// The frame of a line that passed the line tests (LogLineLength units), read as it stands:
// units of any width, case as written.
template <typename Unit>
ReceivedFrame receivedFrameOf(const Unit* line) {
    ReceivedFrame frame;
    frame.logged = loggedCharactersOf(line);
    bool trueHex = true;
    for (int k = 0; k < FrameBytes; ++k) {
        const auto high = static_cast<char16_t>(line[framePieceOffset(k)]);
        const auto low = static_cast<char16_t>(line[framePieceOffset(k) + 1]);
        trueHex = trueHex && hexDigitValue(high) >= 0 && hexDigitValue(low) >= 0;
        frame.bytes[static_cast<std::size_t>(k)] =
            static_cast<std::uint8_t>(hexPieceValue(high, low));
    }
    frame.trueHex = trueHex;
    return frame;
}

}  // namespace orvalin
