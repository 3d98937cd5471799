// Fuzz target: the scan of a pasted text into the record table.
//
// Input: one flag byte, then the text. The text is scanned twice, read as UTF-16 code units
// and read as UTF-8 by the batch decoder's reading (a byte-order mark kept). Flag bit 0 repeats the
// text, joined by CR LF, until it has more than 1000 lines, so that the table's limit is reached
// too.
//
// Properties: the scan agrees with a plain line-by-line reading of the text (split at CR LF,
// each unit lower-cased, length 81 and the three marks tested); stored records are the first
// 1000 accepted lines in order, later ones are counted as left out; dates, times and values
// are those of the line's pieces and every value lies in its channel's range; a second scan of
// the same text, into the same table or into one that held other records, gives the same
// table.
#include <QString>
#include <algorithm>
#include <array>
#include <cstring>

#include "decoder/channels.h"
#include "decoder/hex.h"
#include "decoder/log_scan.h"
#include "decoder/log_text.h"
#include "decoder/record_table.h"
#include "fuzz_support.h"

namespace orvalin::fuzz {
namespace {

// Lowest and highest value of each channel for a raw byte of 0 to 255, as documented with the
// formulas (written out here rather than computed from them).
constexpr std::array<std::pair<double, double>, ChannelCount> ChannelRanges = {{
    {0, 8.98518}, {0, 544.068}, {-273, 135},  {0, 8.98518}, {-273, 135},  {0, 544.068},
    {-273, 135},  {0, 8.98518}, {0, 8.98518}, {-273, 135},  {0, 544.068}, {0, 8.98518},
    {-273, 135},  {0, 544.068}, {0, 2040},    {0, 346.8},   {-273, 135},  {0, 108.732},
    {0, 2040},    {0, 1632},    {0, 2040},    {0, 2040},    {-273, 135},  {0, 58.548},
    {0, 54.264},  {0, 4080},    {0, 494.496}, {0, 8.98518}, {0, 680},
}};

constexpr int MostLinesRepeated = RecordTable::Capacity + 1;
constexpr qsizetype MostUnitsRepeated = 100 * 1000;

// The text repeated, joined by CR LF, into more than 1000 lines (or about 100,000 units). The
// buffer is kept from one input to the next: a fresh one of that size costs more than a scan.
const QString& repeatedText(const QString& text) {
    static QString repeated;
    const qsizetype linesPerCopy = text.count(QStringLiteral("\r\n")) + 1;
    qsizetype copies = MostLinesRepeated / linesPerCopy + 1;
    copies = std::min(copies, MostUnitsRepeated / (text.size() + 2) + 1);
    repeated.resize(0);
    for (qsizetype i = 0; i < copies; ++i) {
        if (i > 0) repeated += QStringLiteral("\r\n");
        repeated += text;
    }
    return repeated;
}

bool sameRecord(const TelemetryRecord& a, const TelemetryRecord& b) {
    return a.DateText.view() == b.DateText.view() && a.TimeText.view() == b.TimeText.view() &&
           std::memcmp(a.Values.data(), b.Values.data(), sizeof(ChannelValues)) == 0;
}

bool sameTable(const RecordTable& a, const RecordTable& b) {
    if (a.count() != b.count()) return false;
    for (int slot = 1; slot <= a.count(); ++slot) {
        if (!sameRecord(a.record(slot), b.record(slot))) return false;
    }
    return true;
}

// The field's text as the line's geometry gives it from a lowered line.
bool fieldIs(QStringView text, const char16_t* lowered, const LineField& field) {
    char16_t expected[LogLineLength];
    const char16_t* end = writeLineField(field, lowered, expected, [](char16_t c) { return c; });
    return text == QStringView(expected, end - expected);
}

void checkRecord(const TelemetryRecord& record, const char16_t* lowered) {
    FUZZ_CHECK(fieldIs(record.DateText.view(), lowered, DateField));
    FUZZ_CHECK(fieldIs(record.TimeText.view(), lowered, TimeField));
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const std::int32_t raw = HexToDec(QStringView(lowered + linePieceOffset(c), 2));
        FUZZ_CHECK(raw >= 0 && raw <= 255);
        const double value = record.Values[static_cast<std::size_t>(c)];
        const double expected = channelValue(c, raw);
        FUZZ_CHECK(std::memcmp(&value, &expected, sizeof value) == 0);
        const auto [low, high] = ChannelRanges[static_cast<std::size_t>(c)];
        FUZZ_CHECK(value >= low - 1e-9 && value <= high + 1e-6);
    }
}

// Reads the text line by line as a person would and checks the table against it.
void checkAgainstLines(QStringView text, const RecordTable& table, const ScanResult& result) {
    int lines = 0;
    int accepted = 0;
    qsizetype start = 0;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf(u"\r\n", start);
        const bool last = end < 0;
        const QStringView line = text.sliced(start, (last ? text.size() : end) - start);
        ++lines;

        bool isLogLine = false;
        char16_t lowered[LogLineLength];
        if (line.size() == LogLineLength) {
            for (int i = 0; i < LogLineLength; ++i) lowered[i] = lowerUnit(line[i].unicode());
            isLogLine = std::all_of(LineMarks.begin(), LineMarks.end(), [&](const LineMark& m) {
                return lowered[m.position] == m.character;
            });
        }
        TelemetryRecord single;
        FUZZ_CHECK((readLogLine(line, single) == LineVerdict::Accepted) == isLogLine);
        if (isLogLine) {
            ++accepted;
            checkRecord(single, lowered);
            if (accepted <= RecordTable::Capacity) {
                FUZZ_CHECK(sameRecord(table.record(accepted), single));
            }
        }
        if (last) break;
        start = end + 2;
    }
    FUZZ_CHECK(result.stored == table.count());
    FUZZ_CHECK(result.stored == std::min(accepted, RecordTable::Capacity));
    FUZZ_CHECK(result.leftOut == accepted - result.stored);
    FUZZ_CHECK(result.stored <= lines);
}

void checkScan(const QString& text) {
    // Tables are large; they are kept from one input to the next, as the window keeps its one
    // table, and every scan must rebuild them from nothing.
    static RecordTable table;
    static RecordTable used;
    const ScanResult result = scanLogText(text, table);
    checkAgainstLines(text, table, result);

    // A table that held other records first ends up the same.
    scanLogText(QStringLiteral("!99999999@999999;") + QString(64, u'f') + QStringLiteral("\r\n") +
                    QStringLiteral("!11111111@111111;") + QString(64, u'0'),
                used);
    const ScanResult again = scanLogText(text, used);
    FUZZ_CHECK(again.stored == result.stored && again.leftOut == result.leftOut);
    FUZZ_CHECK(sameTable(table, used));

    const ScanResult third = scanLogText(text, table);
    FUZZ_CHECK(third.stored == result.stored && third.leftOut == result.leftOut);
    FUZZ_CHECK(sameTable(table, used));
}

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin::fuzz;
    InputBytes input(data, size);
    const bool repeat = (input.takeByte() & 1) != 0;
    const QByteArray bytes = input.rest();
    // As UTF-8, a byte-order mark stays a character, as it would in a paste.
    for (const QString& text :
         {utf16Text(bytes), orvalin::textOfUtf8(bytes.constData(), bytes.size())}) {
        checkScan(repeat ? repeatedText(text) : text);
    }
    return 0;
}
