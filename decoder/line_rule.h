// Where a line ends: the one rule by which both programs cut text and bytes into lines, so that
// the same log gives the same lines in the window and in the batch decoder.
//
// The window's text box makes a line break of CR LF and of each of LineBreakCharacters on its
// own (its document keeps lines as blocks); the batch decoder and the follower of a growing file
// cut a file's bytes at the same breaks. Every other character, U+000B, U+000C and U+0085 among
// them, stays in its line. Lines are measured in characters: UTF-16 code units of the text.
//
// The record scan reads the box's text with every break written as CR LF, and splits it at
// CR LF alone (forEachCrLfLine): there, a lone CR or LF would be an ordinary character.
//
// A byte-order mark at the very start of a file or of standard input is the file's encoding
// signature, not text: both programs drop it before the bytes are cut into lines. Anywhere
// else it is a character like any other, as in the window's input box.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <array>
#include <string_view>

namespace orvalin {

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

// Calls onLine(line, start) for every line of `text`, first to last: the text between two
// breaks, CR LF counting as one. A text with n breaks has n + 1 lines, the last one empty when
// the text ends with a break.
template <typename OnLine>
void forEachLine(QStringView text, OnLine&& onLine) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!isLineBreak(unit)) continue;
        onLine(text.sliced(start, i - start), start);
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    onLine(text.sliced(start), start);
}

// The same lines, last to first.
template <typename OnLine>
void forEachLineBackward(QStringView text, OnLine&& onLine) {
    qsizetype lineEnd = text.size();
    for (qsizetype i = text.size(); i >= 0; --i) {
        if (i > 0 && !isLineBreak(text[i - 1].unicode())) continue;
        onLine(text.sliced(i, lineEnd - i), i);
        if (i == 0) break;
        lineEnd = i - 1;
        if (text[lineEnd] == u'\n' && lineEnd > 0 && text[lineEnd - 1] == u'\r') --lineEnd;
        i = lineEnd + 1;
    }
}

// Calls onLine(line) for every line of a text whose breaks are all written as CR LF, split at
// CR LF alone. An empty text has no line, and nor does the end of a text after a final CR LF.
template <typename OnLine>
void forEachCrLfLine(QStringView text, OnLine&& onLine) {
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size) {
        // The next CR that is followed by LF; a lone CR stays part of the line.
        qsizetype end = start;
        for (;;) {
            end = text.indexOf(u'\r', end);
            if (end < 0 || (end + 1 < size && text[end + 1] == u'\n')) break;
            ++end;
        }
        onLine(text.sliced(start, (end < 0 ? size : end) - start));
        if (end < 0) break;
        start = end + 2;
    }
}

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

// Cuts UTF-8 bytes that arrive in pieces (reads of a file) into lines. A CR that ends a piece
// ends its line at once, and an LF that starts the next piece belongs to it; bytes at the end
// of a piece that may still become a break wait for the next piece. What is not yet ended is
// kept: the unfinished line.
class Utf8LineCutter {
public:
    // Calls onLine(line) for every line that `bytes`, after what was kept, completes.
    template <typename OnLine>
    void feed(QByteArrayView bytes, OnLine&& onLine) {
        // Only the first byte after the CR may belong to it, even when that byte came alone.
        if (!bytes.isEmpty()) {
            if (afterCr_ && bytes.front() == '\n') bytes = bytes.sliced(1);
            afterCr_ = false;
        }
        tail_.append(bytes);
        cut(onLine);
    }
    // The same for bytes that may be large: nothing kept, they are shared rather than copied.
    template <typename OnLine>
    void feed(const QByteArray& bytes, OnLine&& onLine) {
        if (!tail_.isEmpty() || afterCr_) return feed(QByteArrayView(bytes), onLine);
        tail_ = bytes;
        cut(onLine);
    }
    // The bytes of the line not ended yet, without those that may still become a break.
    QByteArrayView unfinished() const { return QByteArrayView(tail_).first(scanned_); }
    // Every byte not handed on yet: the unfinished line and what may still become a break.
    QByteArrayView kept() const { return tail_; }
    qsizetype keptSize() const { return tail_.size(); }
    // Drops the first `count` bytes of unfinished(): they were handed on as part of an
    // overlong line.
    void dropUnfinished(qsizetype count) {
        tail_.remove(0, count);
        scanned_ -= count;
    }
    // Starts anew; `afterCr`: the bytes before ended with a CR, whose LF may come next.
    void reset(bool afterCr = false) {
        tail_.clear();
        scanned_ = 0;
        afterCr_ = afterCr;
    }

private:
    template <typename OnLine>
    void cut(OnLine& onLine) {
        const auto* data = reinterpret_cast<const unsigned char*>(tail_.constData());
        const qsizetype size = tail_.size();
        qsizetype lineStart = 0;
        qsizetype at = scanned_;
        for (; at < size; ++at) {
            const unsigned char c = data[at];
            if (c < 0x80 && c != '\n' && c != '\r') continue;
            const int length = utf8LineBreakAt(data + at, data + size);
            if (length < 0) break;  // the bytes end inside what may become a break
            if (length == 0) continue;
            onLine(QByteArrayView(tail_.constData() + lineStart, at - lineStart));
            if (c == '\r' && length == 1 && at + 1 == size) afterCr_ = true;
            lineStart = at + length;
            at = lineStart - 1;
        }
        tail_.remove(0, lineStart);
        scanned_ = at - lineStart;
    }

    QByteArray tail_;        // read but not handed on: the unfinished line
    qsizetype scanned_ = 0;  // tail_ holds no line break before this
    bool afterCr_ = false;   // the last piece ended with a CR
};

// The length in characters of a line of UTF-8 bytes: as the text of textOfUtf8
// (decoder/log_text.h), every byte that is not part of valid UTF-8 one character.
qsizetype utf8LineLength(QByteArrayView bytes);

// What a byte says as the first of a UTF-8 sequence: the length of the sequence of two or more
// bytes it begins (0: none) and the range of the byte after it (RFC 3629: no overlong forms,
// no surrogates, nothing above U+10FFFF); the bytes after that are 0x80 to 0xBF.
struct Utf8Lead {
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

constexpr Utf8Lead utf8Lead(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return {.length = 2};
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {.length = 3,
                .low = static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80),
                .high = static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF)};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {.length = 4,
                .low = static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80),
                .high = static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF)};
    }
    return {};
}

// How many bytes at the end of `bytes` (0 to 3) begin a UTF-8 character whose last bytes have
// not come yet. Read now, each would be a character of its own (U+FFFD); with the bytes still
// to come they may be one.
qsizetype utf8UnfinishedCharacter(QByteArrayView bytes);

}  // namespace orvalin
