// Sharing in one object: it owns the station archive and the poster, archives and queues the
// frames it is given, and posts the waiting ones, one at a time, while it is on.
//
//   frames (addFrames) --> archive (kept once; new ones with a real time queued)
//   archive --claim a few--> poster --answer--> archive (sent / rejected) or a growing wait
//
// The window runs it in a worker thread (queued calls in, statusChanged out), so its event
// thread never waits on the archive or the network; the batch decoder runs it in its own
// event loop. An archive fault stops sharing with the reason in the status; decoding goes on.
// Turning it off stops sending: the post in flight is abandoned, and its frame, like every
// other waiting one, stays waiting in the archive for the next start of either program.
#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "archive/frame_archive.h"
#include "settings/station_settings.h"
#include "sharing/delivery_rules.h"
#include "sharing/sids_form.h"

namespace orvalin {

class SidsPoster;

struct SharingOptions {
    QString archivePath;
    StationSettings station;
    QString version;  // sent as "version"
    RetryPolicy retry;
    int timeoutMs = 30000;  // a post without a complete answer by then has failed
    ArchiveOptions archive;
    int idlePollMs = 10000;        // how often an idle service looks for frames others left waiting
    bool countQueuedHere = false;  // fill SharingStatus::waitingQueuedHere (batch decoder)
};

struct SharingStatus {
    bool on = false;
    QString stopped;  // "Sharing stopped: ..." after an archive fault or a 3xx; else empty
    QString note;     // about the archive (no WAL), empty mostly
    qint64 sent = 0;  // the archive's counts, all programs together
    qint64 waiting = 0;
    qint64 rejected = 0;
    // Still waiting of those it queued or found waiting at start; -1 when not counted.
    qint64 waitingQueuedHere = -1;
    qint64 queuedHere = 0;  // frames this service queued since it started
    QString lastFailure;    // of the last failed post, with its time
    QDateTime nextTry;      // when the next post comes after a failure; else invalid
};

class SharingService : public QObject {
    Q_OBJECT
public:
    explicit SharingService(SharingOptions options, QObject* parent = nullptr);
    ~SharingService() override;

    const SharingStatus& status() const { return status_; }

public slots:
    // Opens the archive and starts posting what waits.
    void start();
    // Stops posting and closes the archive; waiting frames stay waiting.
    void stop();
    // Archives and queues the frames (ignored while off).
    void addFrames(const QList<orvalin::ReceivedFrame>& frames);

signals:
    void statusChanged(const orvalin::SharingStatus& status);

private:
    void pump();
    void onAnswered(const PostAnswer& answer);
    void stopFor(const Failure& failure);
    void releaseClaims();
    void publishSoon();
    void publishNow();

    SharingOptions options_;
    std::unique_ptr<FrameArchive> archive_;
    SidsPoster* poster_ = nullptr;
    QList<ClaimedFrame> claimed_;  // claimed, not yet posted
    qint64 claimedAtMs_ = 0;
    std::optional<ClaimedFrame> inFlight_;
    int failuresInRow_ = 0;
    QTimer retryTimer_;
    QTimer idleTimer_;
    QTimer publishTimer_;
    SharingStatus status_;
};

}  // namespace orvalin

Q_DECLARE_METATYPE(orvalin::SharingStatus)
Q_DECLARE_METATYPE(orvalin::PostAnswer)
Q_DECLARE_METATYPE(QList<orvalin::ReceivedFrame>)
