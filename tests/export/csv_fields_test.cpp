#include "export/csv_fields.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <cstdint>

#include "decoder/csv_text.h"

namespace orvalin {
namespace {

class CsvFieldCacheTest : public ::testing::TestWithParam<char16_t> {};

// Every (channel, raw byte) pair: a record whose channels all carry the raw byte r, built
// from the cache, is the line appendCsvRecordLine writes for the decoded values.
TEST_P(CsvFieldCacheTest, RecordLinesMatchTheWindowsWriterForEveryByte) {
    const QChar separator(GetParam());
    const CsvFieldCache cache(separator);
    char line[CsvFieldCache::MaxRecordBytes];
    for (int raw = 0; raw < 256; ++raw) {
        std::uint8_t raws[ChannelCount];
        ChannelValues values{};
        for (ChannelIndex c = 0; c < ChannelCount; ++c) {
            raws[c] = static_cast<std::uint8_t>(raw);
            values[static_cast<std::size_t>(c)] = channelValue(c, raw);
        }
        QByteArray expected;
        appendCsvRecordLine(expected, values, separator);
        const char* end = cache.writeRecord(line, raws);
        ASSERT_EQ(QByteArray(line, end - line), expected) << "raw byte " << raw;
    }
}

TEST_P(CsvFieldCacheTest, MixedRawBytesInOneRecord) {
    const QChar separator(GetParam());
    const CsvFieldCache cache(separator);
    std::uint8_t raws[ChannelCount];
    ChannelValues values{};
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        // Long and short texts next to each other: a whole-slot copy must not leave a tail.
        raws[c] = static_cast<std::uint8_t>(c % 2 ? 255 - 7 * c : c);
        values[static_cast<std::size_t>(c)] = channelValue(c, raws[c]);
    }
    QByteArray expected;
    appendCsvRecordLine(expected, values, separator);
    char line[CsvFieldCache::MaxRecordBytes];
    const char* end = cache.writeRecord(line, raws);
    EXPECT_EQ(QByteArray(line, end - line), expected);
}

INSTANTIATE_TEST_SUITE_P(Separators, CsvFieldCacheTest, ::testing::Values(u'.', u','),
                         [](const auto& info) {
                             return std::string(info.param == u'.' ? "Point" : "Comma");
                         });

}  // namespace
}  // namespace orvalin
