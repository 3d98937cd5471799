// The station archive at the size of a mission: a log of 1,000,000 lines (a frame a second,
// about twelve days) imported with orvalin-decode --import, the size of the archive a frame,
// without and with a delivery to one server, and --from-archive against decoding the same
// lines from the log, to /dev/null and to a new file. Each run goes through the batch decoder
// in-process, as the program runs it.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_decoder.h"
#include "log_text.h"

namespace {

constexpr int LogLines = 1'000'000;

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timed {
    double wall = 0;  // seconds
    double cpu = 0;
    int status = 0;
};

Timed run(const std::vector<std::string>& args) {
    const int devNull = ::open("/dev/null", O_RDWR);
    QElapsedTimer timer;
    const double cpu = cpuSeconds();
    timer.start();
    const int status = orvalin::cli::runBatchDecoder(args, {devNull, devNull, devNull});
    Timed timed{double(timer.nsecsElapsed()) / 1e9, cpuSeconds() - cpu, status};
    ::close(devNull);
    return timed;
}

double bytesPerFrame(const QString& archive) {
    return double(QFileInfo(archive).size() + QFileInfo(archive + QStringLiteral("-wal")).size()) /
           LogLines;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/archive_bench-XXXXXX"));
    const std::string log = dir.filePath(QStringLiteral("mission.log")).toStdString();
    const QString archive = dir.filePath(QStringLiteral("frames.sqlite"));
    const std::string conf = dir.filePath(QStringLiteral("conf.ini")).toStdString();
    const std::string out = dir.filePath(QStringLiteral("out.csv")).toStdString();
    orvalin::bench::writeLogFile(log, LogLines, true);  // a frame a second from 2026-12-01
    QFile(QString::fromStdString(conf)).open(QIODevice::WriteOnly);
    const std::vector<std::string> station = {"--config", conf, "--archive", archive.toStdString()};
    const auto with = [&station](std::vector<std::string> args) {
        args.insert(args.end(), station.begin(), station.end());
        return args;
    };

    std::printf("archive_bench: %d log lines, a frame a second\n", LogLines);
    const Timed imported = run(with({"--import", log}));
    std::printf("--import: %.2f s (%.2f s of CPU; asked: under 4 s)%s\n", imported.wall,
                imported.cpu, imported.status == 0 ? "" : " FAILED");
    std::printf("archive on disk: %.1f bytes a frame (asked: at most 100)\n",
                bytesPerFrame(archive));
    const Timed again = run(with({"--import", log}));
    std::printf("--import of the same log again (every frame kept already): %.2f s\n", again.wall);

    struct Output {
        const char* name;
        std::vector<std::string> args;
    };
    const Output outputs[] = {{"CSV to /dev/null", {}},
                              {"CSV to a new file", {"-o", out}},
                              {"JSON Lines to a new file", {"--format", "jsonl", "-o", out}}};
    for (const Output& output : outputs) {
        for (int round = 0; round < 2; ++round) {
            ::unlink(out.c_str());
            std::vector<std::string> decode = output.args;
            decode.push_back(log);
            const Timed fromLog = run(decode);
            ::unlink(out.c_str());
            std::vector<std::string> fromArchive = output.args;
            fromArchive.push_back("--from-archive");
            const Timed archived = run(with(fromArchive));
            std::printf(
                "%s, round %d: the log %.3f s, --from-archive %.3f s: %.2fx (asked: "
                "within 1.5x)\n",
                output.name, round + 1, fromLog.wall, archived.wall, archived.wall / fromLog.wall);
        }
    }

    // Every frame sent to one server, as after a station's history was shared.
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(archive).constData(), &db) == SQLITE_OK) {
        sqlite3_exec(db,
                     "INSERT INTO servers (url) VALUES ('http://127.0.0.1/submit');"
                     "INSERT INTO tally VALUES (1, 0, 0), (1, 1, 0), (1, 2, 0);"
                     "INSERT INTO deliveries (server, utc, seq, state, http) "
                     "SELECT 1, utc, seq, 1, 201 FROM frames;"
                     "PRAGMA wal_checkpoint(TRUNCATE);",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        std::printf("archive on disk with every frame sent to one server: %.1f bytes a frame\n",
                    bytesPerFrame(archive));
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory of this process: %.1f MB\n",
                double(usage.ru_maxrss) / 1024.0);
    return 0;
}
