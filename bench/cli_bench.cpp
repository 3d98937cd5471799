// The batch decoder on a log of 1,000,000 lines (82 MB), written to a CSV file: throughput
// of input and peak memory, in-process through the library and as the built program. The
// program is also fed one line of 300 MB without a line end through a pipe, to show that
// its memory does not grow with the length of a line.
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
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_decoder.h"

namespace {

constexpr int LogLines = 1'000'000;

struct BenchFiles {
    QTemporaryDir dir;
    std::string log = dir.filePath("telemetry.log").toStdString();
    std::string csv = dir.filePath("telemetry.csv").toStdString();
    long long logBytes = 0;
};

// Log lines with changing times and frame bytes from a fixed pseudo-random sequence, LF ends.
long long writeLog(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::vector<char> buffer(std::size_t{1} << 20);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    std::uint32_t seed = 12345;
    char line[83];
    for (int i = 0; i < LogLines; ++i) {
        const int second = i % 86400;
        std::snprintf(line, sizeof line, "!06122026@%02d%02d%02d;", second / 3600, second / 60 % 60,
                      second % 60);
        for (int b = 0; b < 32; ++b) {
            seed = seed * 1664525u + 1013904223u;
            std::snprintf(line + 17 + 2 * b, 3, "%02X", seed >> 24);
        }
        line[81] = '\n';
        std::fwrite(line, 1, 82, out);
    }
    const long long size = std::ftell(out);
    std::fclose(out);
    return size;
}

BenchFiles& files() {
    static BenchFiles f = [] {
        BenchFiles made;
        made.logBytes = writeLog(made.log);
        return made;
    }();
    return f;
}

// Arg 0: the CSV file is new; arg 1: it replaces the CSV of the run before (the kernel then
// also frees the old file's pages, which costs a little more).
void BM_DecodeLogToFile(benchmark::State& state) {
    BenchFiles& f = files();
    const bool replace = state.range(0) != 0;
    const int devNull = ::open("/dev/null", O_RDWR);
    const orvalin::cli::StandardStreams streams{devNull, devNull, devNull};
    for (auto _ : state) {
        if (!replace) {
            state.PauseTiming();
            ::unlink(f.csv.c_str());
            state.ResumeTiming();
        }
        const int status = orvalin::cli::runBatchDecoder({"-o", f.csv, f.log}, streams);
        if (status != 0) state.SkipWithError("the decoder failed");
    }
    ::close(devNull);
    state.SetLabel(replace ? "replacing the CSV" : "new CSV");
    state.SetBytesProcessed(state.iterations() * f.logBytes);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(f.logBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodeLogToFile)
    ->Arg(0)
    ->Arg(1)
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

void measureProgram() {
    const std::string program = programPath();
    if (::access(program.c_str(), X_OK) != 0) {
        std::printf("orvalin-decode not found at %s: build it to measure the program\n",
                    program.c_str());
        return;
    }
    BenchFiles& f = files();
    struct stat csvInfo {};
    for (const bool replace : {false, true}) {
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            if (!replace) ::unlink(f.csv.c_str());
            const ChildRun run = runProgram({program, "-o", f.csv, f.log}, [](int) {});
            if (run.status != 0) {
                std::printf("orvalin-decode failed with status %d\n", run.status);
                return;
            }
            best = std::min(best, run.seconds);
        }
        ::stat(f.csv.c_str(), &csvInfo);
        std::printf(
            "program, %d lines, %.1f MB in, %.1f MB out to a %s: best of 3 %.3f s, "
            "%.0f MB/s of input\n",
            LogLines, f.logBytes / 1e6, csvInfo.st_size / 1e6,
            replace ? "file it replaces" : "new file", best, f.logBytes / 1e6 / best);
    }
    std::printf("program peak memory (ru_maxrss): %ld KiB\n", childPeakKiB());

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
