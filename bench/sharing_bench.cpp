// Sharing figures: archiving the frames of a 1000-record intake (one transaction, on the disk
// of the working directory, synchronous=FULL), frames posted per second against the local
// SiDS server over a kept-alive connection, the resident memory of a program whose archive
// holds 1,000,000 waiting frames, and the peak resident memory of a program posting to a
// server that answers 201 with a body of 50 MB and of 500 MB (with its length, and chunked).
//
//   sharing_bench                 all figures
//   sharing_bench --hold A        (internal) runs a sharing service on archive A, prints VmRSS
//   sharing_bench --answer-body N [chunked]
//                                 (internal) posts one frame to a server whose answer carries
//                                 N bytes, prints VmHWM
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "process_memory.h"
#include "sharing/sharing_service.h"

namespace {

using namespace orvalin;

// Frame n: its own reception second and bytes.
ReceivedFrame receivedFrame(qint64 n) {
    const QDateTime when = QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc()).addSecs(n);
    QString line = when.toString(QStringLiteral("!ddMMyyyy@HHmmss;"));
    for (int k = 0; k < FrameBytes; ++k)
        line += QStringLiteral("%1").arg(static_cast<std::uint8_t>((n >> (8 * (k % 4))) + k), 2, 16,
                                         QLatin1Char('0'));
    return receivedFrameOf(line.utf16());
}

// Logged in UTC: its instant is 2026-01-01 plus n seconds.
NewFrame benchFrame(qint64 n) {
    return {.frame = receivedFrame(n),
            .utc = QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc())
                       .addSecs(n)
                       .toSecsSinceEpoch()};
}

QList<ReceivedFrame> receivedFrames(qint64 first, int count) {
    QList<ReceivedFrame> frames;
    for (qint64 n = first; n < first + count; ++n) frames.append(receivedFrame(n));
    return frames;
}

// Starts the local SiDS server with `arguments`; its port, or 0.
int startServer(QProcess& server, const QString& folder, const QStringList& arguments = {}) {
    server.start(QStringLiteral("python3"),
                 QStringList{QStringLiteral(SIDS_SERVER_SCRIPT), QStringLiteral("--log"),
                             folder + QStringLiteral("/posts.jsonl"), QStringLiteral("--lifetime"),
                             QStringLiteral("60")} +
                     arguments);
    while (server.waitForReadyRead(10000) && !server.canReadLine()) {
    }
    return server.readLine().trimmed().mid(5).toInt();
}

SharingOptions optionsFor(const QString& archive, const QUrl& url) {
    SharingOptions options;
    options.archivePath = archive;
    options.station = stationSettingsFrom({{"SHARE_URL", url.toString()},
                                           {"NORAD_ID", "43017"},
                                           {"CALLSIGN", "BENCH"},
                                           {"LATITUDE", "52.52"},
                                           {"LONGITUDE", "13.405"}});
    options.version = QStringLiteral("bench");
    return options;
}

void archiveIntake(const QString& folder) {
    auto opened = FrameArchive::open(folder + QStringLiteral("/intake.sqlite"));
    if (!opened) return void(std::fprintf(stderr, "%s\n", qPrintable(opened.failure().text)));
    const auto archive = std::move(*opened);
    const int server = *archive->server(QStringLiteral("http://127.0.0.1/"));
    std::vector<double> ms;
    for (int round = 0; round < 20; ++round) {
        QList<NewFrame> frames;
        for (qint64 n = round * 1000; n < round * 1000 + 1000; ++n) frames.append(benchFrame(n));
        QElapsedTimer timer;
        timer.start();
        (void)archive->add(frames, server);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "archiving a 1000-record intake (%s): median %.1f ms, worst %.1f ms (asked: under "
        "20 ms)\n",
        qPrintable(archive->journalNote().isEmpty() ? QStringLiteral("WAL")
                                                    : QStringLiteral("no WAL")),
        ms[ms.size() / 2], ms.back());
}

void postRate(const QString& folder) {
    QProcess server;
    const int port = startServer(server, folder);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/submit").arg(port));
    constexpr int Frames = 2000;
    SharingService service(optionsFor(folder + QStringLiteral("/post.sqlite"), url));
    SharingStatus status;
    // A plain event loop: QTest::qWaitFor sleeps 10 ms between its rounds.
    QEventLoop loop;
    QObject::connect(&service, &SharingService::statusChanged, &loop, [&](const SharingStatus& s) {
        status = s;
        if (s.sent == Frames) loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    service.start();
    QElapsedTimer timer;
    timer.start();
    service.addFrames(receivedFrames(0, Frames));
    loop.exec();
    std::printf(
        "posting to the local server, one request at a time: %.0f frames/s (%lld sent; "
        "asked: at least 200)\n",
        double(status.sent) * 1000.0 / double(timer.elapsed()), status.sent);
    server.kill();
    server.waitForFinished();
}

void backlogMemory(const QString& folder) {
    const QString path = folder + QStringLiteral("/backlog.sqlite");
    // A port nobody listens on, so every frame stays waiting.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const QString url = QStringLiteral("http://127.0.0.1:%1/submit").arg(probe.serverPort());
    probe.close();
    {
        auto opened = FrameArchive::open(path);
        if (!opened) return void(std::fprintf(stderr, "%s\n", qPrintable(opened.failure().text)));
        const auto archive = std::move(*opened);
        const int server = *archive->server(url);
        for (qint64 first = 0; first < 1000000; first += 50000) {
            QList<NewFrame> frames;
            for (qint64 n = first; n < first + 50000; ++n) frames.append(benchFrame(n));
            (void)archive->add(frames, server);
        }
    }
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), path, url});
    holder.waitForFinished(120000);
    std::printf("%s", holder.readAllStandardOutput().constData());
}

// A sharing service on an archive full of frames waiting for `url`, where nobody listens, so
// every frame stays waiting; its resident memory once it has tried.
int hold(const QString& archive, const QUrl& url) {
    // Declared before the service, whose destructor still reports to it.
    SharingStatus status;
    SharingService service(optionsFor(archive, url));
    QObject::connect(&service, &SharingService::statusChanged,
                     [&status](const SharingStatus& s) { status = s; });
    service.start();
    if (!QTest::qWaitFor([&] { return !status.lastFailure.isEmpty(); }, 30000)) return 1;
    std::printf("resident memory with %lld frames waiting: %.1f MB (asked: under 50 MB)\n",
                status.waiting, bench::statusMiB("VmRSS"));
    return 0;
}

// One frame posted to a server that answers 201 with `bodyBytes` of body; the peak resident
// memory of this process by the time the answer is judged.
int answerBody(qint64 bodyBytes, bool chunked) {
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/sharing_bench-XXXXXX"));
    QProcess server;
    QStringList answer{QStringLiteral("--body-bytes"), QString::number(bodyBytes)};
    if (chunked) answer << QStringLiteral("--chunked");
    const int port = startServer(server, folder.path(), answer);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/submit").arg(port));
    SharingService service(optionsFor(folder.path() + QStringLiteral("/answer.sqlite"), url));
    SharingStatus status;
    QEventLoop loop;
    QObject::connect(&service, &SharingService::statusChanged, &loop, [&](const SharingStatus& s) {
        status = s;
        if (s.sent == 1 || !s.lastFailure.isEmpty() || !s.stopped.isEmpty()) loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    service.start();
    service.addFrames(receivedFrames(0, 1));
    loop.exec();
    std::printf(
        "peak resident memory posting to a server that answers with a %lld MB body%s: %.1f MB "
        "(%s; asked: under 30 MB)\n",
        bodyBytes / 1000000, chunked ? " (chunked)" : "", bench::statusMiB("VmHWM"),
        status.sent == 1 ? "sent" : qPrintable(status.lastFailure + status.stopped));
    server.kill();
    server.waitForFinished();
    return 0;
}

// Each size in a process of its own, so that each peak is its own.
void answerMemory() {
    for (const bool chunked : {false, true}) {
        for (const qint64 bytes : {50'000'000LL, 500'000'000LL}) {
            QStringList arguments{QStringLiteral("--answer-body"), QString::number(bytes)};
            if (chunked) arguments << QStringLiteral("chunked");
            QProcess poster;
            poster.start(QCoreApplication::applicationFilePath(), arguments);
            poster.waitForFinished(120000);
            std::printf("%s", poster.readAllStandardOutput().constData());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--hold")
        return hold(QString::fromLocal8Bit(argv[2]), QUrl(QString::fromLocal8Bit(argv[3])));
    if (argc >= 3 && QByteArray(argv[1]) == "--answer-body")
        return answerBody(QByteArray(argv[2]).toLongLong(),
                          argc == 4 && QByteArray(argv[3]) == "chunked");
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/sharing_bench-XXXXXX"));
    archiveIntake(folder.path());
    postRate(folder.path());
    backlogMemory(folder.path());
    answerMemory();
    return 0;
}
