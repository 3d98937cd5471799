// How a log text is cut into lines and how a log file's bytes become text. The window and
// the batch decoder both read through these rules, so the same text gives both the same lines.
//
// The window's text box makes a line break of CR LF and of each of LineBreakCharacters on
// its own (its document keeps lines as blocks); the window hands its text to the scan with
// every break written as CR LF. The batch decoder splits a file's bytes at the same breaks.
// Every other character, U+000B, U+000C and U+0085 among them, stays in its line.
//
// A byte-order mark at the very start of a file or of standard input is the file's encoding
// signature, not text: both programs drop it before the bytes are cut into lines. Anywhere
// else it is a character like any other, as in the window's input box.
#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <string_view>

namespace orvalin {

// The longest line the window's input box takes, in UTF-16 code units; a log line has 81.
// A followed file's unfinished line is held up to this length too. The box lays out a whole
// line again at every keystroke, in time that grows with the line: measured with
// hostile_paste_bench on two cores at a load average of 6.5, a keystroke costs about 16 ms with
// a line of 64 KiB, 55 ms with 256 KiB, 120 ms with 512 KiB and 220 ms with 1 MiB. This bound
// keeps every keystroke well below 100 ms on slower machines too.
inline constexpr qsizetype InputLineLimit = 64 * 1024;

// U+FEFF in UTF-8.
inline constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

// CR, LF, LINE SEPARATOR, PARAGRAPH SEPARATOR, and the two characters that mark the start and
// end of a frame in the text box's document, which it turns into breaks too.
inline constexpr std::array<char16_t, 6> LineBreakCharacters = {u'\r',     u'\n',     u'\u2028',
                                                                u'\u2029', u'\uFDD0', u'\uFDD1'};

constexpr bool isLineBreak(char16_t unit) {
    for (const char16_t c : LineBreakCharacters) {
        if (unit == c) return true;
    }
    return false;
}

// Appends `text` to `out` with every line break (CR LF counted as one) written as CR LF:
// the text as the scan reads it.
void appendWithCrLfBreaks(QString& out, QStringView text);

// The line breaks in UTF-8: each character of LineBreakCharacters as its bytes.
struct Utf8Break {
    std::array<unsigned char, 3> bytes;
    int length;
};
inline constexpr auto Utf8LineBreaks = [] {
    std::array<Utf8Break, LineBreakCharacters.size()> breaks{};
    for (std::size_t i = 0; i < LineBreakCharacters.size(); ++i) {
        const char16_t c = LineBreakCharacters[i];
        Utf8Break& b = breaks[i];
        if (c < 0x80) {
            b = {{static_cast<unsigned char>(c), 0, 0}, 1};
        } else if (c < 0x800) {
            b = {{static_cast<unsigned char>(0xC0 | c >> 6),
                  static_cast<unsigned char>(0x80 | (c & 0x3F)), 0},
                 2};
        } else {
            b = {{static_cast<unsigned char>(0xE0 | c >> 12),
                  static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F)),
                  static_cast<unsigned char>(0x80 | (c & 0x3F))},
                 3};
        }
    }
    return breaks;
}();

// The line break that starts at `p` in UTF-8 bytes ending at `end`: its length in bytes
// (CR LF together: 2), 0 when none starts there, or -1 when the bytes end inside what may
// still become one. A CR as the last byte is a break of 1; an LF that follows it in the next
// bytes belongs to it.
constexpr int utf8LineBreakAt(const unsigned char* p, const unsigned char* end) {
    if (*p == '\r') return (end - p > 1 && p[1] == '\n') ? 2 : 1;
    for (const Utf8Break& b : Utf8LineBreaks) {
        if (*p != b.bytes[0]) continue;
        int matched = 1;
        while (matched < b.length && p + matched < end &&
               p[matched] == b.bytes[static_cast<std::size_t>(matched)])
            ++matched;
        if (matched == b.length) return b.length;
        if (p + matched == end) return -1;
    }
    return 0;
}

// The bytes of a log file as text: UTF-8, where every byte that is not part of valid UTF-8
// becomes one U+FFFD. A byte-order mark stays the character U+FEFF, as a paste carries it
// into the window, so a log line behind one has 82 characters there and here alike.
QString textOfUtf8(const char* bytes, qsizetype size);

}  // namespace orvalin
