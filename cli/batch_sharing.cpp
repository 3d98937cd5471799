#include "cli/batch_sharing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include "cli/follow.h"
#include "settings/conf_ini.h"
#include "settings/file_locations.h"
#include "settings/program_version.h"

namespace orvalin::cli {

namespace {

// Frames are archived in transactions of up to this many while a long input is read.
constexpr qsizetype FramesPerHandOver = 1000;
// finish() looks at the signals this often.
constexpr std::chrono::milliseconds SignalCheck{100};

QString fromBytes(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

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

Result<std::unique_ptr<BatchSharing>> BatchSharing::create(const CommandLine& options) {
    const UserFolders user = currentUserFolders();
    const QString confPath = options.configPath.empty()
                                 ? userConfIniDir(user) + u'/' + QLatin1String(ConfIniFileName)
                                 : fromBytes(options.configPath);
    const QFileInfo conf(confPath);
    if (!options.configPath.empty() && (!conf.isFile() || !conf.isReadable()))
        return Failure{.kind = FailureKind::Unreadable,
                       .text = QStringLiteral("--config: %1 is not a readable file")
                                   .arg(fromBytes(options.configPath))};
    SharingOptions sharing;
    sharing.station = stationSettingsFrom(confIniEntries(readConfIniLines(confPath)));
    if (const QStringList missing = missingSettings(sharing.station); !missing.isEmpty()) {
        QString text = sharingNeedsText(missing);
        text.chop(1);  // its full stop
        return Failure{.kind = FailureKind::Other,
                       .text = QStringLiteral("--share: %1 (%2)").arg(text, confPath)};
    }
    sharing.archivePath =
        options.archivePath.empty() ? stationArchivePath(user) : fromBytes(options.archivePath);
    sharing.version = QString::fromLatin1(ProgramVersion);
    sharing.countQueuedHere = true;
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

void BatchSharing::runFor(std::chrono::milliseconds time) {
    handOver();
    runEvents(time);
}

void BatchSharing::onStatus(const SharingStatus& status) {
    status_ = status;
    statusCurrent_ = true;
    if (err_ == nullptr) return;
    const auto say = [this](const QString& text) {
        err_->append(ProgramName);
        err_->append(": ");
        err_->append(text.toStdString());
        err_->append('\n');
        err_->flush();
    };
    // An archive without WAL (on a network file system) works, but the user should know.
    if (!status.note.isEmpty() && !noteReported_) {
        noteReported_ = true;
        say(status.note);
    }
    if (!status.stopped.isEmpty() && status.stopped != stoppedReported_) {
        stoppedReported_ = status.stopped;
        say(status.stopped);
    }
}

bool BatchSharing::finish(BufferedWriter& err) {
    handOver();
    const StopOnSignals stopOnSignals;
    QElapsedTimer waited;
    waited.start();
    const auto done = [this] {
        return !status_.stopped.isEmpty() || (statusCurrent_ && status_.waitingQueuedHere == 0);
    };
    while (!done() && !stopSignalled() && waited.elapsed() < wait_.count() * 1000)
        runEvents(std::min<std::chrono::milliseconds>(
            SignalCheck, std::chrono::milliseconds(wait_.count() * 1000 - waited.elapsed())));
    stop();
    if (status_.stopped.isEmpty() && statusCurrent_ && status_.waitingQueuedHere == 0) return true;
    if (!status_.stopped.isEmpty()) return false;  // said when it happened
    const qint64 waiting =
        status_.waitingQueuedHere < 0 ? status_.queuedHere : status_.waitingQueuedHere;
    QString summary =
        QStringLiteral("%1 %2 still waiting to be shared after %3 s; %4 in %5")
            .arg(waiting)
            .arg(waiting == 1 ? QStringLiteral("frame is") : QStringLiteral("frames are"))
            .arg(waited.elapsed() / 1000)
            .arg(waiting == 1 ? QStringLiteral("it stays") : QStringLiteral("they stay"))
            .arg(archivePath_);
    if (!status_.lastFailure.isEmpty())
        summary += QStringLiteral(" (last failure %1)").arg(status_.lastFailure);
    err.append(ProgramName);
    err.append(": ");
    err.append(summary.toStdString());
    err.append('\n');
    err.flush();
    return false;
}

void BatchSharing::stop() {
    if (service_) service_->stop();
}

}  // namespace orvalin::cli
