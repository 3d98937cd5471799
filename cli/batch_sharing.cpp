#include "cli/batch_sharing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "cli/archive_runs.h"
#include "cli/follow.h"
#include "cli/station_conf.h"
#include "settings/program_version.h"

namespace orvalin::cli {

namespace {

// Frames are archived in transactions of up to this many while a long input is read.
constexpr qsizetype FramesPerHandOver = 1000;
// finish() looks at the signals this often.
constexpr std::chrono::milliseconds SignalCheck{100};

// Qt's event loop needs an application object; the tests may have made one already.
std::unique_ptr<QCoreApplication> applicationIfNone() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    static int argc = 1;
    static char name[] = "orvalin-decode";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

void runEvents(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

Result<SharingOptions> BatchSharing::optionsOf(const CommandLine& options) {
    const Result<StationConf> conf = readStationConf(options);
    if (!conf) return conf.failure();
    SharingOptions sharing;
    sharing.station = conf->settings;
    if (const QStringList missing = missingSettings(sharing.station); !missing.isEmpty()) {
        QString text = sharingNeedsText(missing);
        text.chop(1);  // its full stop
        return Failure{.kind = FailureKind::Other,
                       .text = QStringLiteral("--share: %1 (%2)").arg(text, conf->path)};
    }
    sharing.archivePath = archivePathOf(options);
    sharing.version = QString::fromLatin1(ProgramVersion);
    sharing.countQueuedHere = true;
    return sharing;
}

std::unique_ptr<BatchSharing> BatchSharing::create(const CommandLine& options,
                                                   SharingOptions sharing) {
    return std::unique_ptr<BatchSharing>(new BatchSharing(options, std::move(sharing)));
}

BatchSharing::BatchSharing(const CommandLine& options, SharingOptions sharing)
    : application_(applicationIfNone()),
      archivePath_(sharing.archivePath),
      wait_(options.shareWaitSeconds) {
    service_ = std::make_unique<SharingService>(std::move(sharing));
    QObject::connect(service_.get(), &SharingService::statusChanged,
                     [this](const SharingStatus& status) { onStatus(status); });
}

BatchSharing::~BatchSharing() {
    stop();
    service_.reset();
}

void BatchSharing::start(BufferedWriter& err) {
    err_ = &err;
    service_->start();
}

void BatchSharing::take(const ReceivedFrame& frame) {
    inHand_.append(frame);
    if (inHand_.size() >= FramesPerHandOver) handOver();
}

void BatchSharing::handOver() {
    if (inHand_.isEmpty()) return;
    statusCurrent_ = false;
    service_->addFrames(inHand_);
    inHand_.clear();
}

void BatchSharing::offerArchived(std::optional<qint64> since, std::optional<qint64> until) {
    statusCurrent_ = false;
    service_->offerArchived(since.value_or(std::numeric_limits<qint64>::min()),
                            until.value_or(std::numeric_limits<qint64>::max()));
}

void BatchSharing::runFor(std::chrono::milliseconds time) {
    handOver();
    runEvents(time);
}

void BatchSharing::say(const QString& text) {
    if (err_ == nullptr) return;
    err_->append(ProgramName);
    err_->append(": ");
    err_->append(text.toLocal8Bit().toStdString());
    err_->append('\n');
    err_->flush();
}

void BatchSharing::onStatus(const SharingStatus& status) {
    status_ = status;
    statusCurrent_ = true;
    // An archive without WAL (on a network file system) works, but the user should know.
    if (!status.note.isEmpty() && !noteReported_) {
        noteReported_ = true;
        say(status.note);
    }
    if (!status.stopped.isEmpty() && status.stopped != stoppedReported_) {
        stoppedReported_ = status.stopped;
        say(status.stopped);
    }
    if (!status.lastFailure.isEmpty() && !waitReported_ && status.on) {
        waitReported_ = true;
        say(QStringLiteral("waiting for the server, which failed (%1); trying again until "
                           "--share-wait (%2 s) runs out")
                .arg(status.lastFailure)
                .arg(wait_.count()));
    }
}

bool BatchSharing::finish(bool waitForFrames) {
    handOver();
    if (waitForFrames) {
        const StopOnSignals stopOnSignals;
        QElapsedTimer waited;
        waited.start();
        // The run's own frames go first; then it goes on with what others left waiting.
        const auto done = [this] {
            return !status_.stopped.isEmpty() ||
                   (statusCurrent_ && status_.waitingQueuedHere == 0 && status_.waiting == 0);
        };
        const qint64 limit = wait_.count() * 1000;
        while (!done() && !stopSignalled() && waited.elapsed() < limit)
            runEvents(std::min<std::chrono::milliseconds>(
                SignalCheck, std::chrono::milliseconds(limit - waited.elapsed())));
    }
    stop();
    // One line of what became of the run's frames; the exit status speaks of them alone.
    const qint64 waiting =
        status_.waitingQueuedHere < 0 ? status_.queuedHere : status_.waitingQueuedHere;
    QString summary =
        QStringLiteral(
            "shared frames of this run: %1 sent, %2 rejected%3, %4 not sendable (no "
            "UTC time), %5 still waiting")
            .arg(status_.sentHere)
            .arg(status_.rejectedHere)
            .arg(status_.rejectedHere > 0 ? QStringLiteral(" (%1)").arg(status_.firstRejectionHere)
                                          : QString())
            .arg(status_.notSendableHere)
            .arg(waiting);
    if (status_.backlogSentHere > 0)
        summary +=
            QStringLiteral("; %1 left waiting by earlier runs sent").arg(status_.backlogSentHere);
    if (waiting > 0) {
        summary += QStringLiteral("; %1 in %2")
                       .arg(waiting == 1 ? QStringLiteral("it stays") : QStringLiteral("they stay"),
                            archivePath_);
        if (!status_.lastFailure.isEmpty())
            summary += QStringLiteral(" (last failure %1)").arg(status_.lastFailure);
    }
    say(summary);
    // A follow ended by a signal leaves its last frames waiting, as an outbox does: only a run
    // that waited for them fails on them.
    return status_.stopped.isEmpty() && status_.rejectedHere == 0 &&
           (waiting == 0 || !waitForFrames);
}

void BatchSharing::stop() {
    if (service_) service_->stop();
}

}  // namespace orvalin::cli
