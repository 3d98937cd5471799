#include "export/csv_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "decoder/csv_text.h"
#include "decoder/log_scan.h"
#include "decoder/test_lines.h"
#include "export/permission_bits.h"
#include "file_size_limit.h"

namespace orvalin {
namespace {

const QByteArray Header =
    "SP4 Volts;GS4 Curr;SP4 Temp;SP1 Volts;SP1 Temp;SP1 Curr;Batt Temp;Batt Volts;SP2 Volts;"
    "SP2 Temp;SP2 Curr;SP3 Volts;SP3 Temp;SP3 Curr;Shunt Curr;ADCS Curr;ODB Temp;RX Curr;RSSI;"
    "TX Curr;P TX;P PA;PA Temp;I200 Curr;3V3 Curr;3V3 Volts;5V Curr;5V Volts;SU TH G0;\r\n";

// A record of made-up values (the other record is that of test::WorkedLine).
const ChannelValues MadeUpValues = {4.12, 35.7, 21.4, 4.08,  19.6, 110.25, 12,   8.3,  4.1,   20.2,
                                    98,   4.11, 18.9, 101.5, 240,  55.6,   15.2, 60,   -92.5, 0,
                                    27.3, 21.8, 25,   12.4,  30.1, 3.3,    45,   5.02, 285.4};

RecordTable tableOf(const ChannelValues& values, int count) {
    RecordTable table;
    for (int n = 0; n < count; ++n) table.append()->Values = values;
    return table;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct LineCase {
    const char* name;
    bool fromLogLine;  // else the made-up values
    char16_t separator;
    QByteArray line;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class CsvRecordLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(CsvRecordLine, FileHoldsHeaderAndExactRecordLine) {
    const LineCase& c = GetParam();
    RecordTable table;
    if (c.fromLogLine) {
        ASSERT_EQ(scanLogText(test::WorkedLine, table).stored, 1);
    } else {
        table = tableOf(MadeUpValues, 1);
    }
    QTemporaryDir dir;
    const CsvExportResult result = writeCsvFile(dir.path(), table, QChar(c.separator));
    ASSERT_TRUE(result.written) << result.written.failure().text.toStdString();
    EXPECT_EQ(readAll(result.path), Header + c.line + "\r\n");
}

// clang-format off
const LineCase LineCases[] = {
    {"MadeUpValuesPoint", false, u'.',
     "4.12;35.7;21.4;4.08;19.6;110.25;12;8.3;4.1;20.2;98;4.11;18.9;101.5;240;55.6;15.2;60;-92.5;0;"
     "27.3;21.8;25;12.4;30.1;3.3;45;5.02;285.4;"},
    {"MadeUpValuesComma", false, u',',
     "4,12;35,7;21,4;4,08;19,6;110,25;12;8,3;4,1;20,2;98;4,11;18,9;101,5;240;55,6;15,2;60;-92,5;0;"
     "27,3;21,8;25;12,4;30,1;3,3;45;5,02;285,4;"},
    {"DecodedLogLinePoint", true, u'.',
     "0.105708;8.5344;-265;0.211416;-261.8;17.0688;-258.6;0.35236;0.387596;-253.8;27.7368;0.493304;"
     "-249;34.1376;136;24.48;-242.6;8.528;168;140.8;184;192;-233;5.9696;5.7456;448;56.2368;1.05708;"
     "82.6666666666667;"},
    {"DecodedLogLineComma", true, u',',
     "0,105708;8,5344;-265;0,211416;-261,8;17,0688;-258,6;0,35236;0,387596;-253,8;27,7368;0,493304;"
     "-249;34,1376;136;24,48;-242,6;8,528;168;140,8;184;192;-233;5,9696;5,7456;448;56,2368;1,05708;"
     "82,6666666666667;"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, CsvRecordLine, ::testing::ValuesIn(LineCases),
                         [](const auto& info) { return std::string(info.param.name); });

class CsvExport : public ::testing::Test {
protected:
    QString csvPath() const { return dir_.path() + QStringLiteral("/pellam_telemetry.csv"); }
    QTemporaryDir dir_;
};

TEST_F(CsvExport, NoRecordsGivesTheHeaderAloneAndTheWrittenMessage) {
    const CsvExportResult result = writeCsvFile(dir_.path(), RecordTable(), u'.');
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.path, csvPath());
    EXPECT_EQ(readAll(csvPath()), Header);
    EXPECT_EQ(csvExportStatusText(result), csvPath() + " has been written");
}

TEST_F(CsvExport, FullTableGivesOneLinePerRecordInSlotOrder) {
    RecordTable table;
    for (int n = 1; n <= RecordTable::Capacity; ++n) {
        ChannelValues values{};
        values.fill(n);
        table.append()->Values = values;
    }
    ASSERT_TRUE(writeCsvFile(dir_.path(), table, u'.').written);
    const QList<QByteArray> lines = readAll(csvPath()).split('\n');
    ASSERT_EQ(lines.size(), 1002);  // 1001 lines and the empty piece after the last LF
    EXPECT_TRUE(lines.last().isEmpty());
    EXPECT_TRUE(lines[1].startsWith("1;1;"));
    EXPECT_TRUE(lines[1000].startsWith("1000;1000;"));
    for (qsizetype i = 0; i < 1001; ++i) ASSERT_TRUE(lines[i].endsWith(";\r")) << i;
}

TEST_F(CsvExport, OnlyRecordsUpToTheCountAreWritten) {
    RecordTable table = tableOf(MadeUpValues, 5);
    table.reset();
    table.append()->Values.fill(7);  // slots 2 to 5 still hold the earlier records
    ASSERT_TRUE(writeCsvFile(dir_.path(), table, u'.').written);
    QByteArray expected = Header;
    appendCsvRecordLine(expected, table.record(1).Values, u'.');
    EXPECT_EQ(readAll(csvPath()), expected);
}

TEST_F(CsvExport, LongerOldFileIsReplacedWhole) {
    {
        QFile old(csvPath());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200000, 'x'));
    }
    ASSERT_TRUE(writeCsvFile(dir_.path(), tableOf(MadeUpValues, 2), u'.').written);
    EXPECT_EQ(readAll(csvPath()), csvFileBytes(tableOf(MadeUpValues, 2), u'.'));
}

TEST_F(CsvExport, TwoExportsOfOneTableAreIdentical) {
    const RecordTable table = tableOf(MadeUpValues, 3);
    ASSERT_TRUE(writeCsvFile(dir_.path(), table, u',').written);
    const QByteArray first = readAll(csvPath());
    ASSERT_TRUE(writeCsvFile(dir_.path(), table, u',').written);
    EXPECT_EQ(readAll(csvPath()), first);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"pellam_telemetry.csv"});
}

// Failed exports: no success, a reason, and whatever stood at the path before is unchanged.
class CsvExportFailure : public CsvExport {
protected:
    void writeOldFile() {
        QFile old(csvPath());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(OldContent);
    }
    void expectFailureWithOldFileIntact(const CsvExportResult& result) {
        EXPECT_FALSE(result.written);
        EXPECT_FALSE(result.written.failure().text.isEmpty());
        EXPECT_FALSE(csvExportStatusText(result).contains("has been written"));
        EXPECT_TRUE(csvExportStatusText(result).startsWith(result.path + " was not written: "));
        EXPECT_TRUE(csvExportFailureText(result).contains(result.written.failure().text));
        if (QFileInfo(csvPath()).isFile()) {
            EXPECT_EQ(readAll(csvPath()), OldContent);
        }
        // No temporary file is left beside it.
        EXPECT_LE(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
    }
    const QByteArray OldContent = "old;export;\r\n";
};

TEST_F(CsvExportFailure, DirectoryInTheFilesPlace) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("pellam_telemetry.csv"));
    expectFailureWithOldFileIntact(writeCsvFile(dir_.path(), tableOf(MadeUpValues, 3), u'.'));
    EXPECT_TRUE(QFileInfo(csvPath()).isDir());
}

TEST_F(CsvExportFailure, MissingDirectory) {
    const CsvExportResult result =
        writeCsvFile(dir_.path() + "/gone", tableOf(MadeUpValues, 3), u'.');
    expectFailureWithOldFileIntact(result);
    EXPECT_FALSE(QFileInfo::exists(dir_.path() + "/gone"));
}

// A read-only directory takes no new file: an export fails there, unless the directory holds
// a CSV file that may be written, which is then written in place.
TEST_F(CsvExportFailure, ReadOnlyDirectory) {
    const RecordTable table = tableOf(MadeUpValues, 3);
    for (const bool oldFile : {false, true}) {
        SCOPED_TRACE(oldFile ? "with a writable CSV file" : "without a CSV file");
        if (oldFile) writeOldFile();
        ASSERT_TRUE(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner));
        std::optional<PermissionBitsEnforced> asUser(std::in_place);  // root, too, is refused
        // access() would answer for the real user id, which keeps root's rights: try a file.
        const bool rootWritesAnyway =
            QFile(dir_.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
        CsvExportResult result;
        if (!rootWritesAnyway) result = writeCsvFile(dir_.path(), table, u'.');
        asUser.reset();
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (rootWritesAnyway)
            GTEST_SKIP() << "running as root: directory permissions do not stop it";
        if (oldFile) {
            EXPECT_TRUE(result.written) << result.written.failure().text.toStdString();
            EXPECT_EQ(readAll(csvPath()), csvFileBytes(table, u'.'));
        } else {
            expectFailureWithOldFileIntact(result);
            // There was no file, so the message speaks of none.
            EXPECT_EQ(result.written.failure().consequence, "");
            EXPECT_FALSE(csvExportFailureText(result).contains("previous"));
        }
    }
}

// A write error part-way through the file, as on a full disk.
TEST_F(CsvExportFailure, WriteErrorPartWayThrough) {
    writeOldFile();
    const RecordTable table = tableOf(MadeUpValues, 1000);  // about 100 kB
    CsvExportResult result;
    {
        FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.active());
        result = writeCsvFile(dir_.path(), table, u'.');
    }
    expectFailureWithOldFileIntact(result);
    EXPECT_NE(result.written.failure().text,
              "Unknown error");  // the system's reason ("File too large")
    EXPECT_TRUE(
        csvExportFailureText(result).contains("A previous file of that name is unchanged."));
}

}  // namespace
}  // namespace orvalin
