// End-to-end: the built orvalin-decode with --format jsonl read back by real JSON parsers
// (jq and Python's json module), --iso-time, and --follow on a file that grows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <bit>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <thread>

#include "cli_test_support.h"
#include "decoder/timestamp.h"
#include "export/jsonl_fields.h"
#include "files/log_follower.h"

namespace orvalin::cli {
namespace {

using test::toStd;
using test::windowCsv;
using test::WorkedLine;

// The orvalin-decode program, started with its standard output and error on pipes.
class Program {
public:
    Program(const std::vector<std::string>& args, const QString& workDir) {
        int out[2];
        int err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        const std::string dir = workDir.toStdString();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int devNull = ::open("/dev/null", O_RDONLY);
            ::dup2(devNull, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            for (int fd = 3; fd < 1024; ++fd) ::close(fd);
            std::vector<char*> argv{const_cast<char*>(ORVALIN_DECODE_PROGRAM)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            if (::chdir(dir.c_str()) == 0) ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0 && status_ == NotDone) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (const int fd : {out_, err_})
            if (fd >= 0) ::close(fd);
    }

    // Reads standard output until it holds `size` bytes or 20 s have passed without them.
    const std::string& outputOf(std::size_t size) {
        for (int i = 0; i < 200 && output_.size() < size; ++i) readOutput(100);
        return output_;
    }
    void closeOutput() {
        ::close(out_);
        out_ = -1;
    }
    // Sends `signal` (unless 0) and waits up to 20 s for the exit, reading the output unless
    // `readerStopped`; the exit status, or as a shell shows a death by a signal: 128 + its
    // number.
    int end(int signal, bool readerStopped = false) {
        if (signal != 0) ::kill(pid_, signal);
        for (int i = 0; i < 2000 && status_ == NotDone; ++i) {
            if (out_ >= 0 && !readerStopped) readOutput(0);
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        while (out_ >= 0 && readOutput(0)) {
        }
        return status_;
    }
    std::string errors() {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = ::read(err_, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(got));
        return text;
    }

private:
    static constexpr int NotDone = -2;

    // Reads what is there within `timeoutMs`; false when nothing came.
    bool readOutput(int timeoutMs) {
        pollfd ready{.fd = out_, .events = POLLIN, .revents = 0};
        if (::poll(&ready, 1, timeoutMs) <= 0) return false;
        char buffer[65536];
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = NotDone;
    std::string output_;
};

// Accepted log line number `n`: its time is 12:00:nn and its frame changes with n.
QByteArray logLine(int n) {
    QByteArray line = WorkedLine;
    line.replace(14, 2, QByteArray::number(n % 60).rightJustified(2, '0'));
    for (int k = 17; k < 81; ++k) line[k] = "0123456789abcdef"[(k * (n + 3)) % 16];
    return line;
}

// What the program writes for `crlfText` in `format`, without the CSV header.
std::string records(const QByteArray& crlfText, OutputFormat format) {
    if (format == OutputFormat::Csv)
        return toStd(windowCsv(crlfText)).substr(test::toStd(csvHeaderLine()).size());
    RecordTable table;
    scanLogText(QString::fromUtf8(crlfText), table);
    std::string out;
    for (int slot = 1; slot <= table.count(); ++slot) appendJsonRecordLine(out, table.record(slot));
    return out;
}

class ProgramFormats : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    std::string name(const QString& file) const { return path(file).toStdString(); }

    void write(const QString& name, const QByteArray& bytes,
               QIODevice::OpenMode mode = QIODevice::WriteOnly) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(mode));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // Runs a tool with `input` on its standard input; its standard output, or "" when it
    // failed.
    static std::string tool(const QString& program, const QStringList& args, const QString& input) {
        QProcess process;
        process.setStandardInputFile(input);
        process.start(program, args);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            ADD_FAILURE() << program.toStdString() << ": "
                          << process.readAllStandardError().toStdString();
            return {};
        }
        return process.readAllStandardOutput().toStdString();
    }

    QTemporaryDir dir_;
};

// --- JSON Lines read back by jq and Python ------------------------------------------------

// Log lines with random frames, valid and invalid dates, and a JSON-hostile date.
QByteArray jsonLog() {
    QByteArray log;
    for (int n = 0; n < 300; ++n) log += logLine(n) + (n % 2 ? "\n" : "\r\n");
    for (const char* stamp : {"!29022024@000000;", "!29022023@000000;", "!06122026@240000;",
                              "!31122026@235960;", "!0a122026@120000;", "!06\"2\\026@120000;"})
        log += QByteArray(stamp) + WorkedLine.mid(17) + "\n";
    return log;
}

// The values of every line as the reader printed them, "date|time|timestamp|v0|...|v28",
// compared with the decoder's doubles bit for bit.
void expectExactValues(const std::string& printed, const QByteArray& log) {
    RecordTable table;
    scanLogText(QString::fromUtf8(QByteArray(log).replace("\r\n", "\n").replace('\n', "\r\n")),
                table);
    std::istringstream lines(printed);
    std::string line;
    int slot = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(slot, table.count()) << line;
        const TelemetryRecord& record = table.record(++slot);
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '|');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 3u + ChannelCount) << line;
        EXPECT_EQ(fields[0], record.DateText.toString().toStdString());
        EXPECT_EQ(fields[1], record.TimeText.toString().toStdString());
        const QString timestamp = isoTimestamp(record.DateText.view(), record.TimeText.view());
        EXPECT_EQ(fields[2], timestamp.isEmpty() ? "null" : timestamp.toStdString());
        for (ChannelIndex c = 0; c < ChannelCount; ++c) {
            const std::string& text = fields[3 + static_cast<std::size_t>(c)];
            EXPECT_EQ(std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)),
                      std::bit_cast<std::uint64_t>(record.Values[static_cast<std::size_t>(c)]))
                << "record " << slot << ", channel " << c << ": " << text;
        }
    }
    EXPECT_EQ(slot, table.count());
}

struct ReaderCase {
    const char* name;
    const char* program;
    QStringList args;
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

class JsonLinesReader : public ProgramFormats, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(JsonLinesReader, ReadsEveryValueExactly) {
    const QString reader = QStandardPaths::findExecutable(QString::fromLatin1(GetParam().program));
    if (reader.isEmpty()) GTEST_SKIP() << GetParam().program << " is not installed";
    const QByteArray log = jsonLog();
    write("pass.log", log);
    Program program({"--format", "jsonl", "pass.log"}, dir_.path());
    ASSERT_EQ(program.end(0), 0);
    write("pass.jsonl", QByteArray::fromStdString(program.outputOf(0)));
    expectExactValues(tool(reader, GetParam().args, path("pass.jsonl")), log);
}

// Each reader prints the keys of every object once they differ from the expected ones, and
// then date|time|timestamp|values in the order of the channel catalogue.
QString expectedKeys() {
    QStringList keys{QStringLiteral("date"), QStringLiteral("time"), QStringLiteral("timestamp")};
    for (const ChannelInfo& channel : ChannelCatalogue)
        keys << QString::fromUtf8(channel.caption.data(),
                                  static_cast<qsizetype>(channel.caption.size()));
    return keys.join(u'|');
}

INSTANTIATE_TEST_SUITE_P(
    Readers, JsonLinesReader,
    ::testing::Values(
        ReaderCase{
            "Jq",
            "jq",
            {QStringLiteral("-r"),
             QStringLiteral("if (keys_unsorted | join(\"|\")) != \"%1\" then error(\"keys\") "
                            "else [.[] | if type == \"number\" then tostring "
                            "elif . == null then \"null\" else . end] | join(\"|\") end")
                 .arg(expectedKeys())}},
        ReaderCase{"Python",
                   "python3",
                   {QStringLiteral("-c"),
                    QStringLiteral(
                        "import json, sys\n"
                        "for line in sys.stdin:\n"
                        "    o = json.loads(line)\n"
                        "    assert '|'.join(o) == '%1', list(o)\n"
                        "    assert all(type(v) in (int, float) for v in list(o.values())[3:])\n"
                        "    print('|'.join('null' if v is None else v if isinstance(v, str) "
                        "else repr(v) for v in o.values()))\n")
                        .arg(expectedKeys())}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramFormats, IsoTimeColumnComesBeforeDateAndTime) {
    write("pass.log", logLine(5) + "\r\n" + "!31042026@120000;" + WorkedLine.mid(17) + "\r\n");
    Program program({"--iso-time", "--time", "pass.log"}, dir_.path());
    ASSERT_EQ(program.end(0), 0);
    const std::string out = program.outputOf(0);
    EXPECT_EQ(out.substr(0, 39), "Timestamp;Date;Time;SP4 Volts;GS4 Curr;");
    EXPECT_NE(out.find("\r\n2026-12-06T12:34:05;06.12.2026;12:34:05;"), std::string::npos);
    EXPECT_NE(out.find("\r\n;31.04.2026;12:00:00;0.105708;"), std::string::npos);
}

// --- InfluxDB lines ----------------------------------------------------------------------

TEST_F(ProgramFormats, InfluxLinesCarryTheValuesOfJsonLinesAtUtcNanoseconds) {
    write("conf.ini", "LOG_TIME_ZONE=Europe/Berlin\n");
    // 02:30 does not exist in Berlin on 29 March 2026, nor does 31 April.
    QByteArray log;
    for (const char* stamp : {"29032026@015959;", "29032026@015959;", "29032026@023000;",
                              "29032026@030000;", "31042026@120000;"})
        log += '!' + QByteArray(stamp) + logLine(log.size()).mid(17) + '\n';
    write("pass.log", log);
    Program influx({"--format", "influx", "--config", "conf.ini", "pass.log"}, dir_.path());
    ASSERT_EQ(influx.end(0), 0);
    EXPECT_EQ(influx.errors(),
              "orvalin-decode: 2 frames without a UTC time were left out of the InfluxDB lines\n");
    const std::string lines = influx.outputOf(0);
    EXPECT_EQ(lines.substr(0, 19), "orvalin SP4\\ Volts=");
    std::vector<qint64> instants;
    for (std::size_t end = 0; (end = lines.find('\n', end + 1)) != std::string::npos;)
        instants.push_back(std::stoll(lines.substr(lines.rfind(' ', end))));
    EXPECT_EQ(instants,
              (std::vector<qint64>{1774745999000000000, 1774745999000000001, 1774746000000000000}));
    // The fields are those of JSON Lines, keys and number texts alike.
    Program json({"--format", "jsonl", "pass.log"}, dir_.path());
    ASSERT_EQ(json.end(0), 0);
    QString values = QString::fromStdString(json.outputOf(0)).section(u'\n', 0, 0);
    values = values.mid(values.indexOf(u"\"SP4")).chopped(1).remove(u'"').replace(u':', u'=');
    EXPECT_EQ(QString::fromStdString(lines).section(u'\n', 0, 0).section(u' ', 1, -2).remove(u'\\'),
              values)
        << lines;

    write("conf.ini", "LOG_TIME_ZONE=Europe/Atlantis\n");
    Program badZone({"--format", "influx", "--config", "conf.ini", "pass.log"}, dir_.path());
    EXPECT_EQ(badZone.end(0), 2);
    EXPECT_EQ(badZone.errors().substr(0, 71),
              "orvalin-decode: --format influx: LOG_TIME_ZONE (Europe/Atlantis is not ");
}

// --- --follow -------------------------------------------------------------------------------
// What the follower makes of a file that changes is tested on the follower (tests/files);
// here the program around it: records as lines arrive, the report, and how it ends.

struct FollowCase {
    const char* name;
    OutputFormat format;
    int signal;  // 0: the log is replaced by a link to /dev/zero
};

void PrintTo(const FollowCase& c, std::ostream* os) {
    *os << c.name;
}

class Follow : public ProgramFormats, public ::testing::WithParamInterface<FollowCase> {};

TEST_P(Follow, DecodesEveryCompleteLineAsItArrives) {
    const OutputFormat format = GetParam().format;
    write("pass.log", logLine(1) + "\r\n# comment\n");
    std::vector<std::string> args{"--follow", "--report", "pass.log"};
    if (format == OutputFormat::JsonLines) args = {"-f", "-r", "--format", "jsonl", "pass.log"};
    Program program(args, dir_.path());
    std::string expected =
        (format == OutputFormat::Csv ? toStd(csvHeaderLine()) : "") + records(logLine(1), format);
    EXPECT_EQ(program.outputOf(expected.size()), expected) << "the file as it was";
    write("pass.log", logLine(2) + "\r" + logLine(3).left(40), QIODevice::Append);
    expected += records(logLine(2), format);
    EXPECT_EQ(program.outputOf(expected.size()), expected) << "a line ended by a CR alone";
    std::string ending;
    if (GetParam().signal != 0) {
        EXPECT_EQ(program.end(GetParam().signal), 0);
    } else {
        ASSERT_EQ(::unlink(name("pass.log").c_str()), 0);
        ASSERT_EQ(::symlink("/dev/zero", name("pass.log").c_str()), 0);
        EXPECT_EQ(program.end(0), 1);
        ending = "orvalin-decode: pass.log: a device, pipe or socket, not a log file\n";
    }
    EXPECT_EQ(program.outputOf(0), expected) << "the unfinished line is not decoded";
    EXPECT_EQ(program.errors(), "pass.log:2: wrong length: 9 characters, not 81\n" + ending +
                                    "orvalin-decode: 2 lines accepted, 1 rejected, 0 empty\n");
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Follow,
    ::testing::Values(FollowCase{"CsvEndedBySigterm", OutputFormat::Csv, SIGTERM},
                      FollowCase{"JsonLinesEndedBySigint", OutputFormat::JsonLines, SIGINT},
                      FollowCase{"CsvEndedByADevice", OutputFormat::Csv, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramFormats, FollowEndsWhenTheReaderOfItsOutputHasGone) {
    write("pass.log", logLine(1) + "\n");
    Program program({"--follow", "pass.log"}, dir_.path());
    ASSERT_NE(program.outputOf(1), "");
    program.closeOutput();
    EXPECT_EQ(program.end(0), 128 + SIGPIPE);
    EXPECT_EQ(program.errors(), "");
}

// A reader that takes nothing more does not keep SIGTERM from ending it, and what it wrote
// ends with a whole record.
TEST_F(ProgramFormats, FollowEndsBySigtermWhileItsReaderTakesNothing) {
    QByteArray minute;
    for (int i = 0; i < 60; ++i) minute += logLine(i) + "\r\n";
    write("pass.log", minute.repeated(50));
    Program program({"--follow", "--format", "jsonl", "pass.log"}, dir_.path());
    ASSERT_FALSE(program.outputOf(1).empty());                    // nothing read after this
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe fills up
    const auto signalled = std::chrono::steady_clock::now();
    EXPECT_EQ(program.end(SIGTERM, true), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(5));
    std::string all;
    for (int i = 0; i < 50; ++i) all += records(minute, OutputFormat::JsonLines);
    const std::string out = program.outputOf(all.size());
    EXPECT_LT(out.size(), all.size());
    EXPECT_EQ(out, all.substr(0, out.size()));
    EXPECT_EQ(out.back(), '\n');
}

TEST_F(ProgramFormats, FollowOfAMissingFileFails) {
    Program program({"--follow", "missing.log"}, dir_.path());
    EXPECT_EQ(program.end(0), 1);
    EXPECT_EQ(program.errors(), "orvalin-decode: missing.log: No such file or directory\n");
}

}  // namespace
}  // namespace orvalin::cli
