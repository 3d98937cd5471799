// Streaming intake of log files for the batch decoder: bytes in, record lines out.
//
//   bytes --split at the window's line breaks (decoder/log_text.h)--> lines
//         --81 characters, "!" at 1, "@" at 10, ";" at 17 after lower-casing--> accepted
//         --date, time, 29 raw frame bytes--> CSV or JSON Lines record line (RecordFormat)
//
// A line is cut, accepted and decoded exactly as the window does it for the same text. Log
// files are UTF-8. A pure-ASCII line has one character per byte and is tested on its bytes
// with the window's own definitions (decoder/log_line.h, decoder/csv_text.h); lower-casing
// cannot change a mark or a hex digit's value there. A line with other bytes becomes text
// by textOfUtf8 (every byte of invalid UTF-8 one U+FFFD, a byte-order mark kept) and goes
// through the window's readLogLine. As one character takes at most 3 bytes, a line longer
// than 243 bytes can never have 81 characters: such a line is counted and rejected without
// being kept, so memory stays constant.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QStringView>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "decoder/log_scan.h"
#include "decoder/received_frame.h"
#include "decoder/record_table.h"
#include "export/record_format.h"
#include "files/byte_output.h"

namespace orvalin::cli {

struct LineCounts {
    std::uint64_t accepted = 0;
    std::uint64_t rejected = 0;  // non-empty lines that are not log lines
    std::uint64_t empty = 0;
};

class LogStreamDecoder {
public:
    // The longest line, in bytes, that can still have 81 characters.
    static constexpr std::size_t MaxLineBytes = 3 * LogLineLength;

    // `report`, when given, receives one line per rejected non-empty line:
    // "NAME:LINE: reason".
    LogStreamDecoder(const RecordFormatOptions& settings, BufferedWriter& csv,
                     BufferedWriter* report = nullptr);
    // The same with a format of the caller's (one that writes no records, say).
    LogStreamDecoder(std::unique_ptr<RecordFormat> format, BufferedWriter& csv,
                     BufferedWriter* report = nullptr);

    // The header line of the format: for CSV "Timestamp;" and "Date;Time;" when asked for,
    // then the 29 captions; nothing for JSON Lines.
    void writeHeader();

    // Sources are decoded one after another. Line numbers start at 1 in each, and a line
    // never runs on from one source into the next.
    void beginSource(std::string_view name);
    void feed(const char* data, std::size_t size);
    // The source is complete: a last line without a line end is a line too.
    void endSource();
    // Reading the source failed: an unfinished last line is dropped, not decoded.
    void abandonSource();

    const LineCounts& counts() const { return counts_; }
    // The accepted lines the format could not write (InfluxDB lines without a UTC time).
    FramesLeftOut leftOut() const { return format_->leftOut(); }

    // Called with the frame of every accepted line, after its record was written (--share).
    void setFrameHandler(std::function<void(const ReceivedFrame&)> handler);

private:
    static constexpr std::size_t CarryCapacity = MaxLineBytes;

    void feedLines(const unsigned char* p, const unsigned char* end);
    void resumeHeldBreak(const unsigned char*& p, const unsigned char* end);
    void endLine(const unsigned char* p, std::size_t size, bool ascii);
    void handleLine(const char* line, std::size_t size, bool ascii);
    void decodeAsciiLine(const unsigned char* line);
    void decodeTextLine(const char* line, std::size_t size);
    void carry(const char* data, std::size_t size);
    void finishCarried();
    bool startRejection();
    void reject(LineVerdict verdict);
    void rejectLength(std::uint64_t length, bool inBytes);
    void rejectLength(const char* line, std::size_t size);

    BufferedWriter& csv_;  // the record lines, in either format
    BufferedWriter* report_;
    std::unique_ptr<RecordFormat> format_;
    LineCounts counts_;

    std::string sourceName_;
    std::uint64_t lineNumber_ = 0;

    // The unfinished line at the end of the last chunk: its first bytes, its full length and
    // whether all of it is ASCII.
    std::array<char, CarryCapacity> carried_{};
    std::uint64_t carriedBytes_ = 0;
    bool carriedAscii_ = true;
    // The last chunk ended in the first bytes of what may be a line break (a UTF-8 line
    // separator cut in two); they belong to no line until the next bytes tell.
    std::array<unsigned char, 2> held_{};
    int heldBytes_ = 0;
    // The last chunk ended with a CR: an LF that starts the next one belongs to that break.
    bool afterCr_ = false;

    TelemetryRecord record_;  // lines that go the UTF-16 way
    std::function<void(const ReceivedFrame&)> frameHandler_;
};

}  // namespace orvalin::cli
