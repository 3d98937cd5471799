// The batch decoder on a log of 1,000,000 lines (82 MB), written as CSV, as JSON Lines and as
// InfluxDB lines to a file: throughput of input and peak memory, in-process through the library and
// as the built program. The program is also fed one line of 300 MB without a line end through a
// pipe, to show that its memory does not grow with the length of a line, and follows a log
// to which the million lines are appended in blocks, to show that following keeps it bounded
// too.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_decoder.h"
#include "log_text.h"

namespace {

constexpr int LogLines = 1'000'000;

struct BenchFiles {
    QTemporaryDir dir;
    std::string log = dir.filePath("telemetry.log").toStdString();
    std::string csv = dir.filePath("telemetry.csv").toStdString();
    std::string conf = dir.filePath("conf.ini").toStdString();  // empty: log times in UTC
    long long logBytes = 0;
};

BenchFiles& files() {
    static BenchFiles f = [] {
        BenchFiles made;
        made.logBytes = orvalin::bench::writeLogFile(made.log, LogLines, false);
        if (std::FILE* conf = std::fopen(made.conf.c_str(), "wb")) std::fclose(conf);
        return made;
    }();
    return f;
}

// The formats by the number the benchmarks take; InfluxDB lines with an empty conf.ini, so in
// UTC whatever the user's conf.ini says.
constexpr const char* FormatNames[] = {"CSV", "JSON Lines", "InfluxDB lines"};

std::vector<std::string> formatArgs(std::int64_t format) {
    if (format == 1) return {"--format", "jsonl"};
    if (format == 2) return {"--format", "influx", "--config", files().conf};
    return {};
}

// First arg 0: the output file is new; 1: it replaces the output of the run before (the
// kernel then also frees the old file's pages, which costs a little more). Second arg 0: CSV,
// 1: JSON Lines, 2: InfluxDB lines.
void BM_DecodeLogToFile(benchmark::State& state) {
    BenchFiles& f = files();
    const bool replace = state.range(0) != 0;
    std::vector<std::string> args = formatArgs(state.range(1));
    args.insert(args.end(), {"-o", f.csv, f.log});
    const int devNull = ::open("/dev/null", O_RDWR);
    const orvalin::cli::StandardStreams streams{devNull, devNull, devNull};
    for (auto _ : state) {
        if (!replace) {
            state.PauseTiming();
            ::unlink(f.csv.c_str());
            state.ResumeTiming();
        }
        const int status = orvalin::cli::runBatchDecoder(args, streams);
        if (status != 0) state.SkipWithError("the decoder failed");
    }
    ::close(devNull);
    state.SetLabel(std::string(FormatNames[state.range(1)]) + ", " +
                   (replace ? "replacing the file" : "new file"));
    state.SetBytesProcessed(state.iterations() * f.logBytes);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(f.logBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodeLogToFile)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The decoder without the cost of storing its output (as when a pipe's reader keeps up): the
// output goes to /dev/null. JSON Lines are about 8 times the input (690 MB for the 82 MB
// log), so into a file the page cache sets their pace. Arg 0: CSV, 1: JSON Lines, 2: InfluxDB
// lines.
void BM_DecodeLogToDevNull(benchmark::State& state) {
    BenchFiles& f = files();
    std::vector<std::string> args = formatArgs(state.range(0));
    args.push_back(f.log);
    const int devNull = ::open("/dev/null", O_RDWR);
    const orvalin::cli::StandardStreams streams{devNull, devNull, devNull};
    for (auto _ : state) {
        if (orvalin::cli::runBatchDecoder(args, streams) != 0)
            state.SkipWithError("the decoder failed");
    }
    ::close(devNull);
    state.SetLabel(std::string(FormatNames[state.range(0)]) + " to /dev/null");
    state.SetBytesProcessed(state.iterations() * f.logBytes);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(f.logBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodeLogToDevNull)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

std::string programPath() {
    // build/<dir>/bench/cli_bench -> build/<dir>/cli/orvalin-decode
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return QFileInfo(self).dir().filePath(QStringLiteral("../cli/orvalin-decode")).toStdString();
}

struct ChildRun {
    int status = -1;
    double seconds = 0;
};

// Runs the program with `args`; its standard input is the read end of a pipe when `feed`
// is given, which is then called with the write end.
template <typename Feed>
ChildRun runProgram(const std::vector<std::string>& args, Feed feed) {
    int pipeFds[2] = {-1, -1};
    if (::pipe(pipeFds) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[0], 0);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[0]);
    feed(pipeFds[1]);
    ::close(pipeFds[1]);
    int status = -1;
    ::waitpid(pid, &status, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {status, took.count()};
}

long childPeakKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

// --follow --format jsonl on a log that starts empty and grows by the million lines in blocks
// of 1 MiB; the program's output goes to a file whose size shows when it has caught up.
void measureFollow(const std::string& program, long long expectedBytes) {
    BenchFiles& f = files();
    const std::string log = f.dir.filePath("growing.log").toStdString();
    const std::string out = f.dir.filePath("growing.jsonl").toStdString();
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int source = ::open(f.log.c_str(), O_RDONLY);
    if (logFd < 0 || outFd < 0 || source < 0) return;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        ::execl(program.c_str(), program.c_str(), "--follow", "--format", "jsonl", log.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(outFd);
    std::vector<char> block(std::size_t{1} << 20);
    for (ssize_t got; (got = ::read(source, block.data(), block.size())) > 0;)
        if (::write(logFd, block.data(), static_cast<std::size_t>(got)) != got) break;
    ::close(source);
    ::close(logFd);
    struct stat info {};
    for (int i = 0; i < 6000 && (::stat(out.c_str(), &info) != 0 || info.st_size < expectedBytes);
         ++i)
        ::usleep(10000);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ::kill(pid, SIGTERM);
    int status = -1;
    ::waitpid(pid, &status, 0);
    std::printf(
        "program --follow --format jsonl, %d lines appended in 1 MiB blocks: %.1f MB out in "
        "%.2f s, status %d after SIGTERM, peak memory of all runs %ld KiB\n",
        LogLines, info.st_size / 1e6, took.count(), WIFEXITED(status) ? WEXITSTATUS(status) : -1,
        childPeakKiB());
}

void measureProgram() {
    const std::string program = programPath();
    if (::access(program.c_str(), X_OK) != 0) {
        std::printf("orvalin-decode not found at %s: build it to measure the program\n",
                    program.c_str());
        return;
    }
    BenchFiles& f = files();
    struct stat csvInfo {};
    long long jsonlBytes = 0;
    for (const int format : {0, 1, 2}) {
        for (const int target : {0, 1, 2}) {  // a new file, a file it replaces, /dev/null
            const std::string output = target == 2 ? "/dev/null" : f.csv;
            std::vector<std::string> args = formatArgs(format);
            args.insert(args.begin(), program);
            args.insert(args.end(), {"-o", output, f.log});
            double best = 1e9;
            for (int i = 0; i < 3; ++i) {
                if (target == 0) ::unlink(f.csv.c_str());
                const ChildRun run = runProgram(args, [](int) {});
                if (run.status != 0) {
                    std::printf("orvalin-decode failed with status %d\n", run.status);
                    return;
                }
                best = std::min(best, run.seconds);
            }
            ::stat(f.csv.c_str(), &csvInfo);
            if (format == 1) jsonlBytes = csvInfo.st_size;
            static constexpr const char* Targets[] = {"a new file", "a file it replaces",
                                                      "/dev/null"};
            std::printf(
                "program, %s, %d lines, %.1f MB in, %.1f MB out to %s: best of 3 %.3f s, "
                "%.0f MB/s of input\n",
                FormatNames[format], LogLines, f.logBytes / 1e6, csvInfo.st_size / 1e6,
                Targets[target], best, f.logBytes / 1e6 / best);
        }
    }
    std::printf("program peak memory (ru_maxrss): %ld KiB\n", childPeakKiB());
    measureFollow(program, jsonlBytes);

    // One line of 300 MB without a line end, through a pipe.
    const long long longLine = 300LL << 20;
    const ChildRun run = runProgram({program, "-o", f.csv, "--report"}, [&](int fd) {
        std::vector<char> block(std::size_t{1} << 20, 'a');
        for (long long sent = 0; sent < longLine; sent += static_cast<long long>(block.size()))
            if (::write(fd, block.data(), block.size()) < 0) return;
    });
    std::printf(
        "program on one line of %lld MB: status %d, %.2f s, peak memory of all runs %ld KiB\n",
        longLine >> 20, WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1, run.seconds,
        childPeakKiB());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (files().logBytes == 0) {
        std::fprintf(stderr, "could not write the log file\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    std::printf("in-process peak memory (ru_maxrss): %ld KiB\n", self.ru_maxrss);
    measureProgram();
    return 0;
}
