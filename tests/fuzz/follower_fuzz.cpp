// Fuzz target: the follower of a growing log.
//
// Input: one settings byte (bits 0-2: the line bound; bit 3: the payload is read through a small
// alphabet of line breaks, byte-order marks and pieces of multi-byte characters, one piece per
// byte), four bytes that seed the sizes of the appends, then the payload: the bytes another
// program writes to the log, appended in pieces with the follower checking after each until
// nothing more waits.
//
// Properties: whatever the pieces, the lines handed on are those the line rule cuts from the
// whole text (forEachLine over the text of the bytes, a byte-order mark at the start dropped),
// each ended by an LF; the unfinished last line is handed on only when it has more characters
// than the bound, and then as far as it is known to be characters; an overlong line's count is
// its characters handed on so far; the file is never read again from its start nor given up.
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <string_view>

#include "decoder/line_rule.h"
#include "decoder/log_text.h"
#include "files/log_follower.h"
#include "fuzz_support.h"

namespace orvalin::fuzz {
namespace {

// Small bounds, so that lines pass them; the last one is never reached.
constexpr std::array<qsizetype, 8> Bounds = {4, 5, 6, 8, 11, 16, 40, qsizetype(1) << 20};

// Pieces that make line breaks, marks and characters split across appends likely.
constexpr std::array<std::string_view, 16> Alphabet = {
    "\r",
    "\n",
    "\r\n",
    "a",
    "\xC3\xA9",
    "\xEF\xBB\xBF",
    "\xE2\x80\xA8",
    "\xE2\x80\xA9",
    "\xEF\xB7\x90",
    "\xEF\xB7\x91",
    "\xE2\x80",
    "\xE2\x82\xAC",
    "\xF0\x9F\x98\x80",
    "\xFF",
    "\xE2",
    "\xEF",
};

// Each run appends this much at most, so that a run stays short.
constexpr qsizetype MostBytes = 4096;

QByteArray throughAlphabet(const QByteArray& payload) {
    QByteArray bytes;
    for (const char c : payload) {
        const std::string_view piece = Alphabet[static_cast<unsigned char>(c) & 15u];
        bytes.append(piece.data(), static_cast<qsizetype>(piece.size()));
    }
    return bytes;
}

// How many bytes at the end of `bytes` may still become a line break (the line rule waits for
// them) or a character (the start of a valid UTF-8 sequence whose last bytes have not come).
qsizetype undecidedEnd(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype from = std::max<qsizetype>(0, size - 3); from < size; ++from) {
        if (utf8LineBreakAt(data + from, data + size) < 0) return size - from;
        // A lead byte with all the continuation bytes it allows so far, and too few of them.
        const unsigned char lead = data[from];
        const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                          : 0;
        if (length == 0 || size - from >= length) continue;
        bool valid = true;
        for (qsizetype i = from + 1; i < size && valid; ++i) {
            unsigned char low = 0x80;
            unsigned char high = 0xBF;
            if (i == from + 1) {
                if (lead == 0xE0) low = 0xA0;
                if (lead == 0xED) high = 0x9F;
                if (lead == 0xF0) low = 0x90;
                if (lead == 0xF4) high = 0x8F;
            }
            valid = data[i] >= low && data[i] <= high;
        }
        if (valid) return size - from;
    }
    return 0;
}

class LogFile {
public:
    LogFile() : path_(QFile::encodeName(dir_.filePath(QStringLiteral("pass.log"))).toStdString()) {
        FUZZ_CHECK(dir_.isValid());
    }
    ~LogFile() { closeFile(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    const std::string& path() const { return path_; }
    // Empties the file, kept as the same file.
    void empty() {
        closeFile();
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
        FUZZ_CHECK(fd_ >= 0);
    }
    void append(QByteArrayView bytes) {
        FUZZ_CHECK(::write(fd_, bytes.data(), static_cast<std::size_t>(bytes.size())) ==
                   bytes.size());
    }

private:
    void closeFile() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    QTemporaryDir dir_;
    std::string path_;
    int fd_ = -1;
};

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin;
    using namespace orvalin::fuzz;
    InputBytes input(data, size);
    const std::uint8_t settings = input.takeByte();
    ChunkSizes chunks(input.takeUint32());
    const qsizetype bound = Bounds[settings & 7u];
    QByteArray bytes = input.rest();
    if ((settings & 8u) != 0) bytes = throughAlphabet(bytes);
    bytes.truncate(MostBytes);

    static LogFile file;
    file.empty();
    LogFollower follower(file.path(), bound);
    const LogFollower::Update started = follower.start();
    FUZZ_CHECK(!started.ended);

    QByteArray handedOn;
    qsizetype lastOverlong = 0;
    std::size_t at = 0;
    const auto total = static_cast<std::size_t>(bytes.size());
    do {
        const std::size_t piece = chunks.next(total - at);
        file.append(QByteArrayView(bytes.constData() + at, static_cast<qsizetype>(piece)));
        at += piece;
        LogFollower::Update update;
        do {
            update = follower.check();
            FUZZ_CHECK(!update.ended && !update.restarted);
            handedOn += update.lines;
            if (update.overlongLine > 0) {
                // The characters of the overlong line handed on so far.
                const QByteArrayView line =
                    QByteArrayView(handedOn).sliced(handedOn.lastIndexOf('\n') + 1);
                FUZZ_CHECK(!update.lines.endsWith('\n'));
                FUZZ_CHECK(utf8LineLength(line) == update.overlongLine);
                lastOverlong = update.overlongLine;
            }
        } while (update.more);
    } while (at < total);

    // The lines of the whole text by the line rule, the last one (after the last break)
    // unfinished.
    const bool marked = bytes.startsWith(QByteArrayView(Utf8ByteOrderMark));
    const QByteArrayView content = QByteArrayView(bytes).sliced(marked ? 3 : 0);
    QString expected;
    QStringView unfinished;
    const QString text = textOfUtf8(content.data(), content.size());
    forEachLine(text, [&](QStringView line, qsizetype start) {
        if (start + line.size() == text.size()) {
            unfinished = line;
            return;
        }
        expected += line;
        expected += u'\n';
    });
    const QString got = textOfUtf8(handedOn.constData(), handedOn.size());
    FUZZ_CHECK(got.startsWith(expected));

    // What is known of the unfinished line: its bytes, but for those that may still become a
    // break or a character. It is handed on once it has more characters than the bound.
    QByteArrayView last = content.sliced(lastLineStart(content));
    last.chop(undecidedEnd(last));
    const QString known = textOfUtf8(last.data(), last.size());
    FUZZ_CHECK(unfinished.startsWith(known));
    const QStringView rest = QStringView(got).sliced(expected.size());
    if (known.size() > bound) {
        FUZZ_CHECK(rest == known);
        FUZZ_CHECK(lastOverlong == known.size());
    } else {
        FUZZ_CHECK(rest.isEmpty());
    }
    return 0;
}
