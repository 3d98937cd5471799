// The station's frames in one object: it owns the station archive and the poster, keeps the
// frames it is given, and, while sharing is on, offers them to the server and posts the waiting
// ones, one at a time.
//
//   frames (addFrames) --UTC in LOG_TIME_ZONE--> archive (kept once; offered to the server)
//        \-> framesKept: the new ones, for a view of the history that grows
//   archive --claim a few: this program's first--> poster --answer--> archive (sent /
//        rejected) or a growing wait, noted in the archive for whoever asks
//
// The window runs it in a worker thread (queued calls in, statusChanged out), so its event
// thread never waits on the archive or the network; the batch decoder runs it in its own
// event loop. An archive fault stops it with the reason in the status; a server that moved
// stops the posting only. Decoding goes on either way. Stopping abandons the post in flight:
// its frame, like every other waiting one, stays waiting in the archive for the next start of
// either program.
#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "archive/frame_archive.h"
#include "settings/log_time.h"
#include "settings/station_settings.h"
#include "sharing/delivery_rules.h"
#include "sharing/sids_form.h"

namespace orvalin {

class SidsPoster;

struct SharingOptions {
    QString archivePath;
    StationSettings station;  // its zone always; its server when sharing
    bool share = true;        // offer and post frames; else only keep them
    QString version;          // sent as "version"
    RetryPolicy retry;
    int timeoutMs = 30000;  // a post without a complete answer by then has failed
    ArchiveOptions archive;
    int idlePollMs = 10000;        // how often an idle service looks for frames others left waiting
    bool countQueuedHere = false;  // fill SharingStatus::waitingQueuedHere (batch decoder)
};

struct SharingStatus {
    bool on = false;  // posting
    QString stopped;  // "Sharing stopped: ..." after an archive fault or a moved server
    QString note;     // about the archive (no WAL), empty mostly
    qint64 sent = 0;  // the archive's counts for that server, all programs together
    qint64 waiting = 0;
    qint64 rejected = 0;
    // Of the frames this service offered: still waiting (-1 when not counted), sent, rejected
    // (with the first reason), and the frames it took in that have no UTC instant.
    qint64 waitingQueuedHere = -1;
    qint64 queuedHere = 0;
    qint64 sentHere = 0;
    qint64 rejectedHere = 0;
    QString firstRejectionHere;
    qint64 notSendableHere = 0;
    qint64 backlogSentHere = 0;  // frames others left waiting that this service sent
    QString lastFailure;         // of the last failed post, with its time
    QDateTime nextTry;           // when the next post comes after a failure; else invalid
};

class SharingService : public QObject {
    Q_OBJECT
public:
    explicit SharingService(SharingOptions options, QObject* parent = nullptr);
    ~SharingService() override;

    const SharingStatus& status() const { return status_; }

public slots:
    // Opens the archive and, when sharing, starts posting what waits.
    void start();
    // Stops posting and closes the archive; waiting frames stay waiting.
    void stop();
    // Keeps the frames, and offers them to the server when sharing.
    void addFrames(const QList<orvalin::ReceivedFrame>& frames);
    // Offers the kept frames of UTC instants from `fromUtc` until `untilUtc` (exclusive) that
    // the server has neither sent nor rejected, as this service's own (a station's history
    // uploaded once sharing is set up).
    void offerArchived(qint64 fromUtc, qint64 untilUtc);

signals:
    void statusChanged(const orvalin::SharingStatus& status);
    // The frames new to the archive, with their UTC instants.
    void framesKept(const QList<orvalin::StoredFrame>& frames);

private:
    void pump();
    void onAnswered(const PostAnswer& answer);
    void stopFor(const Failure& failure);
    void stopPosting(const QString& why);
    // Abandons the post in flight, lets go of the claims and forgets the server.
    void haltPosting();
    void releaseClaims();
    void publishSoon();
    void publishNow();

    SharingOptions options_;
    LogTimeConverter zone_;
    std::unique_ptr<FrameArchive> archive_;
    std::optional<int> server_;  // while posting
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
Q_DECLARE_METATYPE(QList<orvalin::StoredFrame>)
