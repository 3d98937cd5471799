// Where everything stands in a telemetry log line. The window's scan, the batch decoder's
// byte reader and the tests all read the line through these definitions.
//
//   !DDMMYYYY@HHMMSS;<frame: 32 bytes, two hex digits each, high digit first>
//
// Positions are counted from 0, one per UTF-16 code unit of the text (one per byte of an
// ASCII line). Only the length and the three marks are tested; date, time and frame are
// taken as they stand.
#pragma once

#include <array>
#include <cstdint>

#include "decoder/channels.h"

namespace orvalin {

inline constexpr int LogLineLength = 81;

// Why a line is not a log line; the first failing test in the order length, "!", "@", ";".
enum class LineVerdict { Accepted, WrongLength, NoExclamationAt1, NoAtSignAt10, NoSemicolonAt17 };

struct LineMark {
    int position;
    char16_t character;
    LineVerdict missing;  // the verdict when the mark is not there
};

inline constexpr std::array<LineMark, 3> LineMarks = {{
    {.position = 0, .character = u'!', .missing = LineVerdict::NoExclamationAt1},
    {.position = 9, .character = u'@', .missing = LineVerdict::NoAtSignAt10},
    {.position = 16, .character = u';', .missing = LineVerdict::NoSemicolonAt17},
}};

// The marks of a line of LogLineLength units that is already lower-cased (a pure-ASCII line
// may be tested as it stands: lower-casing changes no mark). Units of any width.
template <typename Unit>
constexpr LineVerdict checkLineMarks(const Unit* line) {
    for (const LineMark& mark : LineMarks) {
        if (line[mark.position] != static_cast<Unit>(mark.character)) return mark.missing;
    }
    return LineVerdict::Accepted;
}

// A run of characters copied from the line.
struct LinePiece {
    int position;
    int length;
};

// A text built from pieces of the line with a separator between them: the date and the time.
struct LineField {
    std::array<LinePiece, 3> pieces;
    char16_t separator;

    constexpr int textLength() const {
        int length = static_cast<int>(pieces.size()) - 1;
        for (const LinePiece& piece : pieces) length += piece.length;
        return length;
    }
};

// "DD.MM.YYYY": day, month and year as written.
inline constexpr LineField DateField = {.pieces = {{{.position = 1, .length = 2},
                                                    {.position = 3, .length = 2},
                                                    {.position = 5, .length = 4}}},
                                        .separator = u'.'};
// "HH:MM:SS": hour, minute and second as written.
inline constexpr LineField TimeField = {.pieces = {{{.position = 10, .length = 2},
                                                    {.position = 12, .length = 2},
                                                    {.position = 14, .length = 2}}},
                                        .separator = u':'};

// Writes the field's text from `line` at `out`, every unit passed through `convert`;
// returns the end of what it wrote.
template <typename In, typename Out, typename Convert>
constexpr Out* writeLineField(const LineField& field, const In* line, Out* out, Convert convert) {
    bool first = true;
    for (const LinePiece& piece : field.pieces) {
        if (!first) *out++ = static_cast<Out>(field.separator);
        first = false;
        for (int i = 0; i < piece.length; ++i) *out++ = convert(line[piece.position + i]);
    }
    return out;
}

// ASCII letters lower-cased, every other unit as it is. For a pure-ASCII line this is the
// whole of lower-casing; on a line that is already lower-cased it changes nothing.
template <typename Unit>
constexpr Unit asciiLower(Unit c) {
    return static_cast<Unit>(c | static_cast<Unit>((static_cast<unsigned>(c - 'A') < 26u) << 5));
}

// The frame: byte k (counted from 0) stands at FrameStart + 2k and FrameStart + 2k + 1.
inline constexpr int FrameStart = 17;
inline constexpr int FrameBytes = 32;
static_assert(FrameStart + 2 * FrameBytes == LogLineLength);

// The 32 bytes of a frame.
using FrameBytes32 = std::array<std::uint8_t, FrameBytes>;

constexpr int framePieceOffset(int frameByte) {
    return FrameStart + 2 * frameByte;
}

// Position of the first of the two hex characters of a channel: those of its frame byte.
constexpr int linePieceOffset(ChannelIndex channel) {
    return framePieceOffset(ChannelCatalogue[static_cast<std::size_t>(channel)].frameByte);
}

}  // namespace orvalin
