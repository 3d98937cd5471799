// End-to-end: the built orvalin-decode, run as a user runs it.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <ostream>
#include <random>
#include <thread>

#include "../sharing/sids_server.h"
#include "cli_test_support.h"

namespace orvalin::cli {
namespace {

using test::toStd;
using test::windowCsv;
using test::WorkedLine;

struct ProgramRun {
    int status = -1;  // exit status, or as a shell shows a death by a signal: 128 + its number
    std::string out;
    std::string err;
};

enum class Stdout { Captured, DevFull, ClosedPipe };

std::string readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? toStd(file.readAll()) : std::string("<missing>");
}

// A directory of log files in which the program runs (file names in messages stay short).
class ProgramTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }

    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    std::string entries() const {
        return QDir(dir_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)
            .join(u' ')
            .toStdString();
    }

    // Starts the program in the working directory on the given standard streams (which the
    // child takes over; the caller closes its copies; -1 starts it with that one closed), with
    // a file size limit and no core dumps.
    pid_t start(const std::vector<std::string>& args, int in, int out, int err,
                rlim_t fileSizeLimit = RLIM_INFINITY) const {
        const std::string workDir = dir_.path().toStdString();
        const pid_t pid = ::fork();
        if (pid != 0) return pid;
        const int streams[3] = {in, out, err};
        for (int fd = 0; fd < 3; ++fd) {
            if (streams[fd] >= 0) ::dup2(streams[fd], fd);
        }
        for (int fd = 0; fd < 1024; ++fd) {
            if (fd > 2 || streams[fd] < 0) ::close(fd);
        }
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (runAsUser_ != NoUser && (::setgroups(0, nullptr) != 0 || ::setgid(runAsGroup_) != 0 ||
                                     ::setuid(runAsUser_) != 0))
            ::_exit(126);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (::chdir(workDir.c_str()) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(ORVALIN_DECODE_PROGRAM)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    ProgramRun run(const std::vector<std::string>& args, const QByteArray& input = {},
                   Stdout output = Stdout::Captured, rlim_t fileSizeLimit = RLIM_INFINITY,
                   int closedStream = -1) const {
        QTemporaryDir io;  // standard streams live outside the working directory
        const QString in = io.filePath("in");
        const QString out = io.filePath("out");
        const QString err = io.filePath("err");
        QFile inFile(in);
        if (!inFile.open(QIODevice::WriteOnly) || inFile.write(input) != input.size()) return {};
        inFile.close();
        int stdoutFd = -1;
        if (output == Stdout::ClosedPipe) {
            int pipeFds[2];
            if (::pipe(pipeFds) != 0) return {};
            ::close(pipeFds[0]);  // nobody reads: the program's first write meets EPIPE
            stdoutFd = pipeFds[1];
        } else {
            const QString target = output == Stdout::DevFull ? QStringLiteral("/dev/full") : out;
            stdoutFd = ::open(target.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        int streams[3] = {::open(in.toLocal8Bit().constData(), O_RDONLY), stdoutFd,
                          ::open(err.toLocal8Bit().constData(), O_WRONLY | O_CREAT, 0644)};
        if (closedStream >= 0) {
            ::close(streams[closedStream]);
            streams[closedStream] = -1;
        }
        const pid_t pid = start(args, streams[0], streams[1], streams[2], fileSizeLimit);
        for (const int fd : streams) {
            if (fd >= 0) ::close(fd);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readAll(out),
                readAll(err)};
    }

    static constexpr uid_t NoUser = static_cast<uid_t>(-1);
    QTemporaryDir dir_;
    uid_t runAsUser_ = NoUser;  // run the program as this user instead of ours
    gid_t runAsGroup_ = 0;
};

// A log with accepted lines among rejected ones, CR LF line ends.
QByteArray sampleLog(int lines, int seed = 1) {
    std::mt19937 random(static_cast<unsigned>(seed));
    QByteArray log;
    for (int i = 0; i < lines; ++i) {
        QByteArray line = WorkedLine;
        for (int k = 17; k < 81; ++k) line[k] = "0123456789abcdefABCDEF"[random() % 22];
        line.replace(10, 6, QByteArray::number(100000 + i).right(6));
        if (i % 7 == 3) line += ' ';
        if (i % 11 == 5) line[9] = ':';
        log += line + "\r\n";
        if (i % 13 == 0) log += "# comment\r\n\r\n";
    }
    return log;
}

QByteArray withLf(QByteArray crlf) {
    return crlf.replace("\r\n", "\n");
}

std::string header() {
    return toStd(csvHeaderLine());
}

// --- Output bytes ---------------------------------------------------------------------

struct FormatCase {
    const char* name;
    std::vector<std::string> options;
    QChar separator;
    bool withTime;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramOutput : public ProgramTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ProgramOutput, IsTheWindowsCsvForCrlfAndLfLogs) {
    const QByteArray log = sampleLog(400);
    write("crlf.log", log);
    write("lf.log", withLf(log));
    const std::string expected = toStd(windowCsv(log, GetParam().separator, GetParam().withTime));
    for (const char* name : {"crlf.log", "lf.log"}) {
        std::vector<std::string> args = GetParam().options;
        args.push_back(name);
        const ProgramRun result = run(args);
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_EQ(result.out, expected) << name;
        EXPECT_EQ(result.err, "") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, ProgramOutput,
    ::testing::Values(FormatCase{"Default", {}, u'.', false},
                      FormatCase{"Time", {"--time"}, u'.', true},
                      FormatCase{"DecimalComma", {"--decimal-comma"}, u',', false},
                      FormatCase{"TimeAndComma", {"-tc"}, u',', true},
                      FormatCase{"OutputDashIsStandardOutput", {"-o", "-"}, u'.', false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, ReportListsRejectedLinesAndCounts) {
    write("a.log", WorkedLine + "\nhello\n\n" + WorkedLine.left(9) + "x" + WorkedLine.mid(10) +
                       "\r\n" + WorkedLine + " \r\n" + WorkedLine);
    const ProgramRun result = run({"--report", "a.log"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "a.log:2: wrong length: 5 characters, not 81\n"
              "a.log:4: no \"@\" at position 10\n"
              "a.log:5: wrong length: 82 characters, not 81\n"
              "orvalin-decode: 2 lines accepted, 3 rejected, 1 empty\n");
    EXPECT_EQ(result.out, toStd(windowCsv(WorkedLine + "\r\n" + WorkedLine)));
}

// A byte-order mark that starts a file or standard input is no part of the first line.
TEST_F(ProgramTest, FilesAndStandardInputInTheOrderNamed) {
    const QByteArray bom = "\xef\xbb\xbf";
    const QByteArray one = sampleLog(30, 1);
    const QByteArray two = sampleLog(20, 2);
    const QByteArray piped = sampleLog(10, 3);
    write("one.log", bom + one);
    write("two.log", withLf(two));
    const ProgramRun result = run({"-r", "one.log", "-", "two.log"}, bom + "x\n" + piped);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, toStd(windowCsv(one + piped + two)));
    EXPECT_NE(result.err.find("one.log:"), std::string::npos);
    EXPECT_EQ(result.err.find("standard input:1: wrong length: 1 characters, not 81\n"),
              result.err.find("standard input:"));
    EXPECT_NE(result.err.find("two.log:"), std::string::npos);
}

TEST_F(ProgramTest, LineLongerThanTheReadBufferIsRejectedAndTheNextOneRead) {
    write("long.log", WorkedLine + "\n" + QByteArray(3 << 20, 'a') + "\r\n" + WorkedLine + "\n" +
                          QByteArray(3 << 20, 'b'));
    const ProgramRun result = run({"--report", "long.log"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, toStd(windowCsv(WorkedLine + "\r\n" + WorkedLine)));
    EXPECT_EQ(result.err,
              "long.log:2: wrong length: 3145728 characters, not 81\n"
              "long.log:4: wrong length: 3145728 characters, not 81\n"
              "orvalin-decode: 2 lines accepted, 2 rejected, 0 empty\n");
}

// --- Inputs that cannot be decoded -----------------------------------------------------

struct InputCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;
    bool goodFilesNamed = true;  // false: no input can be read, and nothing is written
};

void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramInputs : public ProgramTest, public ::testing::WithParamInterface<InputCase> {};

// The bad input is reported, the good ones around it are still decoded.
TEST_P(ProgramInputs, AreReportedAndTheOthersDecoded) {
    write("good.log", WorkedLine + "\n");
    QByteArray binary;
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) binary += static_cast<char>(random() & 0xff);
    write("binary.dat", binary);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("logs"));
    const ProgramRun result = run(GetParam().args);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.err, GetParam().err);
    EXPECT_EQ(result.out, GetParam().goodFilesNamed
                              ? toStd(windowCsv(WorkedLine + "\r\n" + WorkedLine))
                              : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProgramInputs,
    ::testing::Values(
        InputCase{"MissingFile",
                  {"good.log", "missing.log", "good.log"},
                  1,
                  "orvalin-decode: missing.log: No such file or directory\n"},
        InputCase{"Directory",
                  {"good.log", "logs", "good.log"},
                  1,
                  "orvalin-decode: logs: Is a directory\n"},
        InputCase{"BinaryFileHasNoLogLines", {"good.log", "binary.dat", "good.log"}, 0, ""},
        InputCase{"NoInputCanBeRead",
                  {"missing.log", "logs"},
                  1,
                  "orvalin-decode: missing.log: No such file or directory\n"
                  "orvalin-decode: logs: Is a directory\n",
                  false},
        InputCase{"NameWithControlCharacters",
                  {"good.log", "no\nsuch\x1b[2J.log", "good.log"},
                  1,
                  "orvalin-decode: no\\nsuch\\x1b[2J.log: No such file or directory\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Outputs that cannot be written -----------------------------------------------------

TEST_F(ProgramTest, OutputFileIsWrittenWhole) {
    const QByteArray log = sampleLog(300);
    write("a.log", log);
    write("out.csv", QByteArray(1 << 20, 'o'));
    const ProgramRun result = run({"-o", "out.csv", "a.log"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readAll(path("out.csv")), toStd(windowCsv(log)));
    EXPECT_EQ(entries(), "a.log out.csv");
}

TEST_F(ProgramTest, OutputFailingMidwayLeavesTheOldFileAndNothingElse) {
    write("a.log", sampleLog(5000));  // more than 1 MiB of CSV
    write("out.csv", "old");
    const ProgramRun result = run({"-o", "out.csv", "a.log"}, {}, Stdout::Captured, 64 * 1024);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "orvalin-decode: out.csv: File too large\n");
    EXPECT_EQ(readAll(path("out.csv")), "old");
    EXPECT_EQ(entries(), "a.log out.csv");
}

TEST_F(ProgramTest, OutputFileIsLeftAsItWasWhenAnInputFails) {
    write("a.log", sampleLog(10));
    write("out.csv", "old");
    const ProgramRun result = run({"-o", "out.csv", "a.log", "missing.log", "a.log"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "orvalin-decode: missing.log: No such file or directory\n"
              "orvalin-decode: out.csv: left unchanged, as an input could not be read\n");
    EXPECT_EQ(readAll(path("out.csv")), "old");
    EXPECT_EQ(entries(), "a.log out.csv");
}

// Whether the process has a regular file open, other than its standard streams, that holds
// bytes: its output, written part-way.
bool hasWrittenOutput(pid_t pid) {
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System)) {
        struct stat info {};
        if (fd.toInt() > 2 && ::stat(QFile::encodeName(fds + u'/' + fd).constData(), &info) == 0 &&
            S_ISREG(info.st_mode) && info.st_size > 0)
            return true;
    }
    return false;
}

class KilledProgram : public ProgramTest, public ::testing::WithParamInterface<int> {};

// Killed by any signal in the middle of its output, the program leaves the old file as it was
// and nothing beside it.
TEST_P(KilledProgram, LeavesTheOldOutputAndNothingElse) {
    write("out.csv", "old");
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const int devNull = ::open("/dev/null", O_WRONLY);
    const pid_t pid = start({"-o", "out.csv"}, input[0], devNull, devNull);
    ::close(input[0]);
    ::close(devNull);
    // More than the CSV buffer holds, so that part of the output is written; the program then
    // waits for more input.
    const QByteArray log = sampleLog(8000);
    ASSERT_EQ(::write(input[1], log.constData(), static_cast<std::size_t>(log.size())), log.size());
    for (int i = 0; i < 500 && !hasWrittenOutput(pid); ++i) ::usleep(10000);
    EXPECT_TRUE(hasWrittenOutput(pid));
    ::kill(pid, GetParam());
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(input[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam());
    EXPECT_EQ(entries(), "out.csv");
    EXPECT_EQ(readAll(path("out.csv")), "old");
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledProgram, ::testing::Values(SIGKILL, SIGTERM, SIGQUIT),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST_F(ProgramTest, OutputIntoReadOnlyDirectoryLeavesNothing) {
    write("a.log", sampleLog(10));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("ro"));
    ::chmod(path("ro").toLocal8Bit().constData(), 0555);
    if (::geteuid() == 0) {
        // A read-only directory does not stop root: the program runs as "nobody" instead.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "running as root, and there is no user nobody to run as";
        runAsUser_ = nobody->pw_uid;
        runAsGroup_ = nobody->pw_gid;
        ::chmod(dir_.path().toLocal8Bit().constData(), 0755);
    }
    const ProgramRun result = run({"-o", "ro/out.csv", "a.log"});
    if (result.status == 126 || result.status == 127)
        GTEST_SKIP() << "the program could not be started as user nobody (status " << result.status
                     << ")";
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "orvalin-decode: ro/out.csv: Permission denied\n");
    EXPECT_TRUE(QDir(path("ro")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // A file there that may be written is written in place.
    ::chmod(path("ro").toLocal8Bit().constData(), 0755);
    write("ro/out.csv", "old and longer than nothing");
    ::chmod(path("ro/out.csv").toLocal8Bit().constData(), 0666);
    ::chmod(path("ro").toLocal8Bit().constData(), 0555);
    const ProgramRun inPlace = run({"-o", "ro/out.csv", "a.log"});
    EXPECT_EQ(inPlace.status, 0);
    EXPECT_EQ(inPlace.err, "");
    EXPECT_EQ(readAll(path("ro/out.csv")), toStd(windowCsv(sampleLog(10))));
    ::chmod(path("ro").toLocal8Bit().constData(), 0755);
}

// Started with a standard stream closed, the program neither writes its output into another
// stream nor reads its own output, and a stream it needs that is closed is a failure.
struct ClosedStreamCase {
    const char* name;
    int closed;  // 0, 1 or 2
    std::vector<std::string> args;
    int status;
    std::string err;
    bool outputWritten;  // out.csv holds the CSV of a.log
};

void PrintTo(const ClosedStreamCase& c, std::ostream* os) {
    *os << c.name;
}

class ClosedStream : public ProgramTest, public ::testing::WithParamInterface<ClosedStreamCase> {};

TEST_P(ClosedStream, IsNeitherUsedForFilesNorTakenForSuccess) {
    const ClosedStreamCase& c = GetParam();
    write("a.log", sampleLog(20));
    const ProgramRun result = run(c.args, WorkedLine, Stdout::Captured, RLIM_INFINITY, c.closed);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readAll(path("out.csv")),
              c.outputWritten ? toStd(windowCsv(sampleLog(20))) : "<missing>");
    EXPECT_EQ(entries(), c.outputWritten ? "a.log out.csv" : "a.log");
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ClosedStream,
    ::testing::Values(
        ClosedStreamCase{"InputReadFromStandardInput",
                         0,
                         {"-o", "out.csv"},
                         1,
                         "orvalin-decode: standard input: Bad file descriptor\n"
                         "orvalin-decode: out.csv: left unchanged, as an input could not be read\n",
                         false},
        ClosedStreamCase{"InputNotUsed", 0, {"-o", "out.csv", "a.log"}, 0, "", true},
        ClosedStreamCase{"OutputToStandardOutput",
                         1,
                         {"a.log"},
                         1,
                         "orvalin-decode: standard output: Bad file descriptor\n",
                         false},
        ClosedStreamCase{"OutputToAFile", 1, {"-o", "out.csv", "a.log"}, 0, "", true},
        ClosedStreamCase{"ErrorWithAReport", 2, {"-r", "-o", "out.csv", "a.log"}, 0, "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrintableName, EscapesControlCharactersAndBytesThatAreNotUtf8) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"pass 06.12.log", "pass 06.12.log"},
        {"caf\xc3\xa9 \xe2\x82\xac\xf0\x9f\x9b\xb0", "caf\xc3\xa9 \xe2\x82\xac\xf0\x9f\x9b\xb0"},
        {"a\nb\tc\rd", "a\\nb\\tc\\rd"},
        {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
        {"csi\xc2\x9b"
         "2J",
         "csi\\xc2\\x9b2J"},
        {std::string("nul\0", 4) + "\xff\xc3", "nul\\x00\\xff\\xc3"},
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate is not UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(printableName(c.name), c.shown) << c.shown;
}

struct OutputCase {
    const char* name;
    std::vector<std::string> args;
    Stdout output;
    std::string err;
    int status = 1;
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramOutputFailure : public ProgramTest,
                             public ::testing::WithParamInterface<OutputCase> {};

TEST_P(ProgramOutputFailure, IsNamedWithItsReasonAndLeavesNothing) {
    write("a.log", sampleLog(50));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
    const ProgramRun result = run(GetParam().args, {}, GetParam().output);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.err, GetParam().err);
    EXPECT_EQ(entries(), "a.log sub");
    EXPECT_TRUE(QDir(path("sub")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ProgramOutputFailure,
    ::testing::Values(OutputCase{"FullDevice",
                                 {"-o", "/dev/full", "a.log"},
                                 Stdout::Captured,
                                 "orvalin-decode: /dev/full: No space left on device\n"},
                      OutputCase{"FullStandardOutput",
                                 {"a.log"},
                                 Stdout::DevFull,
                                 "orvalin-decode: standard output: No space left on device\n"},
                      // Its reader gone, it ends as other filters do: quietly, by SIGPIPE.
                      OutputCase{"ClosedPipe", {"a.log"}, Stdout::ClosedPipe, "", 128 + SIGPIPE},
                      OutputCase{"PathUnderARegularFile",
                                 {"-o", "a.log/out.csv", "a.log"},
                                 Stdout::Captured,
                                 "orvalin-decode: a.log/out.csv: Not a directory\n"},
                      OutputCase{"Directory",
                                 {"-o", "sub", "a.log"},
                                 Stdout::Captured,
                                 "orvalin-decode: sub: Is a directory\n"},
                      OutputCase{"MissingDirectory",
                                 {"-o", "none/out.csv", "a.log"},
                                 Stdout::Captured,
                                 "orvalin-decode: none/out.csv: No such file or directory\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Usage ----------------------------------------------------------------------------

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string outStart;
    std::string errStart;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramUsage : public ProgramTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ProgramUsage, ExitStatusAndTexts) {
    const ProgramRun result = run(GetParam().args, WorkedLine);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.out.substr(0, GetParam().outStart.size()), GetParam().outStart);
    EXPECT_EQ(result.err.substr(0, GetParam().errStart.size()), GetParam().errStart);
    if (GetParam().outStart.empty()) {
        EXPECT_EQ(result.out, "");
    }
    if (GetParam().errStart.empty()) {
        EXPECT_EQ(result.err, "");
    }
}

const std::string Usage =
    "Usage: orvalin-decode [-t] [-i] [-c] [-r] [-f] [--format csv|jsonl|influx]\n"
    "       [-o FILE] [--share [--dry-run] [--share-wait SECONDS]]\n"
    "       [--config FILE] [--archive FILE] [FILE...]\n"
    "   or: orvalin-decode --import [-f] [-r] [--config FILE] [--archive FILE] [FILE...]\n"
    "   or: orvalin-decode --from-archive [--since TIME] [--until TIME] [output options] "
    "[--share]\n"
    "   or: orvalin-decode --share-status | --share-retry-rejected [--config FILE] [--archive "
    "FILE]\n";

INSTANTIATE_TEST_SUITE_P(
    Arguments, ProgramUsage,
    ::testing::Values(UsageCase{"UnknownOption",
                                {"--times", "a.log"},
                                2,
                                "",
                                "orvalin-decode: unknown option '--times'\n" + Usage},
                      UsageCase{"OutputWithoutFile",
                                {"-o"},
                                2,
                                "",
                                "orvalin-decode: missing value after '-o'\n" + Usage},
                      UsageCase{"FollowIntoAFile",
                                {"--follow", "-o", "out.csv", "a.log"},
                                2,
                                "",
                                "orvalin-decode: --follow cannot write to a file with -o (the "
                                "output would never be complete)\n" +
                                    Usage},
                      UsageCase{"FollowStandardInput",
                                {"--follow"},
                                2,
                                "",
                                "orvalin-decode: --follow needs exactly one log file, and not "
                                "standard input\n" +
                                    Usage},
                      UsageCase{"DecimalCommaInJsonLines",
                                {"--format", "jsonl", "-c"},
                                2,
                                "",
                                "orvalin-decode: --decimal-comma applies to CSV only\n" + Usage},
                      UsageCase{"TimeInJsonLines",
                                {"--format=jsonl", "--time"},
                                2,
                                "",
                                "orvalin-decode: --time applies to CSV only (JSON Lines carry the "
                                "date and time)\n" +
                                    Usage},
                      UsageCase{
                          "Help", {"--help"}, 0, "Usage: orvalin-decode [OPTIONS] [FILE...]\n", ""},
                      UsageCase{"Version", {"--version"}, 0, "orvalin-decode 0.2\n", ""},
                      UsageCase{"NoFileIsStandardInput", {}, 0, header() + "0.105708;", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Sharing ----------------------------------------------------------------------------

// A log of three good frames, one of them twice, and lines that are never shared: rejected,
// a frame that is no hex, a date that does not exist.
QByteArray sharedLog() {
    QByteArray log = WorkedLine + "\r\n";
    log += orvalin::test::lineWithFrame(QStringLiteral("ab").repeated(32)).toLatin1() + "\r\n";
    log += orvalin::test::lineWithFrame(QStringLiteral("0c").repeated(32)).toLatin1() + "\r\n";
    log += WorkedLine + "\r\nnot a log line\r\n";
    log += orvalin::test::lineWithFrame(QStringLiteral("zz").repeated(32)).toLatin1() + "\r\n";
    log += orvalin::test::lineWithFrame(QStringLiteral("12").repeated(32),
                                        QStringLiteral("!31022026@120000;"))
               .toLatin1() +
           "\r\n";
    return log;
}

bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class ProgramSharing : public ProgramTest {
protected:
    void SetUp() override { write(QStringLiteral("a.log"), sharedLog()); }
    void conf(int port) {
        write(QStringLiteral("conf.ini"),
              QStringLiteral("SHARE_URL=http://127.0.0.1:%1/submit\nNORAD_ID=43017\n"
                             "CALLSIGN=TEST\nLATITUDE=52.52\nLONGITUDE=13.405\n")
                  .arg(port)
                  .toLatin1());
    }
    static std::vector<std::string> share(std::vector<std::string> args) {
        args.insert(args.begin(), {"--share", "--config", "conf.ini", "--archive", "ar.sqlite"});
        return args;
    }

    orvalin::test::SidsServer server_;
};

TEST_F(ProgramSharing, OutputIsUnchangedAndEachFrameIsPostedOnce) {
    conf(server_.url().port());
    // The frames of the first run are sent; the second has them again and sends nothing.
    // The frame whose time is not real is kept, never sent, and said so.
    for (const auto& [args, sent] :
         {std::pair{std::vector<std::string>{"-r", "a.log"}, 3},
          std::pair{std::vector<std::string>{"--format", "jsonl", "a.log"}, 0}}) {
        const ProgramRun plain = run(args);
        const ProgramRun shared = run(share(args));
        EXPECT_EQ(shared.status, 0) << shared.err;
        EXPECT_EQ(shared.out, plain.out);
        EXPECT_EQ(shared.err,
                  plain.err + "orvalin-decode: shared frames of this run: " + std::to_string(sent) +
                      " sent, 0 rejected, 1 not sendable (no UTC time), 0 still "
                      "waiting\n");
    }
    EXPECT_EQ(server_.posts().size(), 3);
}

// The archive's roads: a log imported (twice: nothing new), written back as the records of the
// log in order of UTC time, a range of it, its history sent once sharing is set up, and what a
// dry run and the status then say.
TEST_F(ProgramSharing, ArchiveKeepsALogAndGivesItBack) {
    conf(server_.url().port());
    const std::vector<std::string> archive = {"--config", "conf.ini", "--archive", "ar.sqlite"};
    const auto with = [&archive](std::vector<std::string> args) {
        args.insert(args.end(), archive.begin(), archive.end());
        return args;
    };
    EXPECT_EQ(
        run(with({"--import", "a.log"})).err,
        "orvalin-decode: imported 4 new frames, 1 already in the archive; 2 lines not taken\n");
    EXPECT_EQ(
        run(with({"--import", "a.log"})).err,
        "orvalin-decode: imported 0 new frames, 5 already in the archive; 2 lines not taken\n");

    // The accepted lines of true hex, kept once, the one without a real time last.
    const QList<QByteArray> lines = sharedLog().split('\n');
    write(QStringLiteral("kept.log"),
          lines[0] + '\n' + lines[1] + '\n' + lines[2] + '\n' + lines[6]);
    EXPECT_EQ(run(with({"--from-archive", "-t"})).out, run({"-t", "kept.log"}).out);
    write(QStringLiteral("timed.log"), lines[0] + '\n' + lines[1] + '\n' + lines[2]);
    EXPECT_EQ(run(with({"--from-archive", "--format", "jsonl", "--since", "2026-12-06T12:34:56",
                        "--until", "2026-12-06T13:34:57+01:00"}))
                  .out,
              run({"--format", "jsonl", "timed.log"}).out);

    const auto dryRun = [&] { return run(share({"--dry-run", "a.log"})).out; };
    const std::string forms = dryRun();
    EXPECT_EQ(std::count(forms.begin(), forms.end(), '\n'), 3);
    const ProgramRun sent = run(share({"--from-archive", "-o", "/dev/null"}));
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(server_.posts().size(), 3);
    EXPECT_EQ(dryRun(), "");
    const std::string status = run(with({"--share-status"})).out;
    EXPECT_NE(status.find("\nSent: 3\nWaiting: 0\nRejected: 0\n"), std::string::npos) << status;
}

// A run whose frames the server rejects fails and says why; after a setting was fixed the
// rejected frames wait again.
TEST_F(ProgramSharing, RejectedFramesFailTheRunAndCanWaitAgain) {
    orvalin::test::SidsServer rejecting({QStringLiteral("--answer"), QStringLiteral("400"),
                                         QStringLiteral("--reason"), QStringLiteral("bad frame")});
    conf(rejecting.url().port());
    const ProgramRun rejected = run(share({"a.log"}));
    EXPECT_EQ(rejected.status, 1);
    const std::string summary =
        "orvalin-decode: shared frames of this run: 0 sent, 3 rejected "
        "(HTTP 400: bad frame), 1 not sendable (no UTC time), 0 still "
        "waiting\n";
    EXPECT_EQ(
        rejected.err.substr(rejected.err.size() - std::min(rejected.err.size(), summary.size())),
        summary);
    const std::vector<std::string> station = {"--config", "conf.ini", "--archive", "ar.sqlite"};
    std::vector<std::string> retry = {"--share-retry-rejected"};
    retry.insert(retry.end(), station.begin(), station.end());
    EXPECT_EQ(run(retry).out, "3 rejected frames are waiting again for " +
                                  rejecting.url().toString().toStdString() + "\n");
    std::vector<std::string> status = {"--share-status"};
    status.insert(status.end(), station.begin(), station.end());
    EXPECT_NE(run(status).out.find("\nWaiting: 3\nRejected: 0\n"), std::string::npos);
}

TEST_F(ProgramSharing, MissingSettingsAreAUsageErrorBeforeAnythingIsRead) {
    write(QStringLiteral("conf.ini"), "CALLSIGN=TEST\nNORAD_ID=0\n");
    const ProgramRun result = run(share({"a.log"}));
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "orvalin-decode: --share: Sharing needs SHARE_URL, NORAD_ID (0 is not a catalogue "
              "number from 1 to 99999), LATITUDE, LONGITUDE in conf.ini (conf.ini)\n" +
                  Usage + "Try 'orvalin-decode --help' for more information.\n");
}

// Frames that could not be sent stay in the archive, whether the run gave up waiting, was
// killed with a post in flight, or was ended by SIGTERM with a post in flight; the next run
// sends them, those the killed one held too.
TEST_F(ProgramSharing, FramesLeftWaitingAreSentByTheNextRun) {
    conf(orvalin::test::SidsServer::freePort());
    const ProgramRun gaveUp = run(share({"--share-wait", "1", "a.log"}));
    EXPECT_EQ(gaveUp.status, 1);
    // Said once while it waits, and what became of the run's frames at the end.
    EXPECT_EQ(gaveUp.err.rfind("orvalin-decode: waiting for the server, which failed (", 0), 0u)
        << gaveUp.err;
    EXPECT_NE(gaveUp.err.find("\norvalin-decode: shared frames of this run: 0 sent, 0 rejected, "
                              "1 not sendable (no UTC time), 3 still waiting; they stay in "),
              std::string::npos)
        << gaveUp.err;

    write(QStringLiteral("b.log"),
          orvalin::test::lineWithFrame(QStringLiteral("9f").repeated(32)).toLatin1() + "\n");
    // Standard streams for a started program, closed here once it has them.
    std::vector<int> opened;
    const auto nowhere = [&opened] { return opened.emplace_back(::open("/dev/null", O_RDWR)); };
    // The server takes a post and never answers it: a program killed then holds its claims, and
    // SIGTERM ends following within a second.
    orvalin::test::SidsServer stalling({QStringLiteral("--answer"), QStringLiteral("stall"),
                                        QStringLiteral("--stall"), QStringLiteral("30")});
    conf(stalling.url().port());
    const pid_t killed = start(share({"b.log"}), nowhere(), nowhere(), nowhere());
    ASSERT_TRUE(waitUntil([&] { return stalling.posts().size() == 1; }, 10000));
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);

    const pid_t followed = start(share({"-f", "a.log"}), nowhere(), nowhere(), nowhere());
    for (const int fd : opened) ::close(fd);
    ASSERT_TRUE(waitUntil([&] { return stalling.posts().size() == 2; }, 10000));
    QElapsedTimer ending;
    ending.start();
    ::kill(followed, SIGTERM);
    int status = -1;
    ::waitpid(followed, &status, 0);
    EXPECT_LT(ending.elapsed(), 1000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // A run without input of its own sends what the killed one held, at once.
    conf(server_.url().port());
    QElapsedTimer restarted;
    restarted.start();
    const ProgramRun next = run(share({}));
    EXPECT_LT(restarted.elapsed(), 10000);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(server_.posts().size(), 4);
}

}  // namespace
}  // namespace orvalin::cli
