#include "sharing/sharing_service.h"

#include "sharing/sids_poster.h"

namespace orvalin {

namespace {
// Frames claimed in one go: few, so that a claim is posted long before it lapses.
constexpr int ClaimBatch = 8;
// Status goes out at most this often while frames stream.
constexpr int PublishIntervalMs = 100;

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}
}  // namespace

SharingService::SharingService(SharingOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), zone_(options_.station.logTimeZone) {
    qRegisterMetaType<SharingStatus>();
    qRegisterMetaType<PostAnswer>();
    qRegisterMetaType<QList<ReceivedFrame>>();
    qRegisterMetaType<QList<StoredFrame>>();
    options_.archive.logTimeZone = options_.station.logTimeZone;
    for (QTimer* timer : {&retryTimer_, &idleTimer_, &publishTimer_}) {
        timer->setParent(this);
        timer->setSingleShot(true);
    }
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        status_.nextTry = {};
        pump();
    });
    connect(&idleTimer_, &QTimer::timeout, this, &SharingService::pump);
    connect(&publishTimer_, &QTimer::timeout, this, &SharingService::publishNow);
}

SharingService::~SharingService() {
    stop();
}

void SharingService::start() {
    if (!archive_) {
        auto opened = FrameArchive::open(options_.archivePath, options_.archive);
        if (!opened) return stopFor(opened.failure());
        archive_ = std::move(*opened);
    }
    status_.stopped.clear();
    status_.note = archive_->journalNote();
    if (options_.share && !server_) {
        const Result<int> server = archive_->server(options_.station.shareUrl.toString());
        if (!server) return stopFor(server.failure());
        // The outbox goes where the station shares now.
        if (const Result<qint64> adopted = archive_->adoptWaiting(*server); !adopted)
            return stopFor(adopted.failure());
        server_ = *server;
        if (!poster_) {
            poster_ = new SidsPoster(this);
            poster_->setTimeoutMs(options_.timeoutMs);
            connect(poster_, &SidsPoster::answered, this, &SharingService::onAnswered);
        }
        status_.on = true;
        failuresInRow_ = 0;
    }
    publishNow();
    pump();
}

void SharingService::stop() {
    haltPosting();
    archive_.reset();
    if (status_.on) {
        status_.on = false;
        publishNow();
    }
}

void SharingService::addFrames(const QList<ReceivedFrame>& frames) {
    if (!archive_ || frames.isEmpty()) return;
    QList<NewFrame> added;
    added.reserve(frames.size());
    for (const ReceivedFrame& frame : frames)
        added.append({.frame = frame, .utc = zone_.utcSeconds(frame)});
    const auto kept = archive_->add(added, server_);
    if (!kept) return stopFor(kept.failure());
    status_.queuedHere += kept->offered;
    status_.notSendableHere += kept->notSendable;
    if (!kept->newFrames.isEmpty()) emit framesKept(kept->newFrames);
    if (kept->offered > 0) pump();
    publishSoon();
}

void SharingService::offerArchived(qint64 fromUtc, qint64 untilUtc) {
    if (!archive_ || !server_) return;
    const Result<qint64> offered = archive_->offerRange(*server_, fromUtc, untilUtc);
    if (!offered) return stopFor(offered.failure());
    status_.queuedHere += *offered;
    if (*offered > 0) pump();
    publishNow();
}

void SharingService::pump() {
    if (!archive_ || !server_ || !poster_ || poster_->busy() || retryTimer_.isActive()) return;
    const qint64 now = nowMs();
    // Claims held too long in memory go back, so they are always posted well within the lapse.
    if (!claimed_.isEmpty() && now - claimedAtMs_ > options_.archive.claimLapseMs / 2)
        releaseClaims();
    if (claimed_.isEmpty()) {
        const auto claimed = archive_->claim(*server_, ClaimBatch, now);
        if (!claimed) return stopFor(claimed.failure());
        claimed_ = *claimed;
        claimedAtMs_ = now;
        if (claimed_.isEmpty()) {
            idleTimer_.start(options_.idlePollMs);
            publishSoon();
            return;
        }
    }
    idleTimer_.stop();
    inFlight_ = claimed_.takeFirst();
    // The time is worked out from the instant kept, never from a text of an earlier version.
    poster_->post(options_.station.shareUrl,
                  sidsForm(options_.station, sidsTimestamp(inFlight_->key.utc), inFlight_->bytes,
                           options_.version));
}

void SharingService::onAnswered(const PostAnswer& answer) {
    if (!archive_ || !server_ || !inFlight_) return;
    const ClaimedFrame frame = *inFlight_;
    inFlight_.reset();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const PostOutcome outcome = judgeAnswer(answer, now);
    switch (outcome.delivery) {
        case Delivery::Sent:
            failuresInRow_ = 0;
            if (const Result<> marked = archive_->markSent(*server_, frame.key, answer.httpStatus);
                !marked)
                return stopFor(marked.failure());
            ++(frame.own ? status_.sentHere : status_.backlogSentHere);
            break;
        case Delivery::Rejected:
            failuresInRow_ = 0;
            if (const Result<> marked =
                    archive_->markRejected(*server_, frame.key, answer.httpStatus, outcome.reason);
                !marked)
                return stopFor(marked.failure());
            if (frame.own && status_.rejectedHere++ == 0)
                status_.firstRejectionHere = outcome.reason;
            break;
        case Delivery::Moved:
            // A setting to fix, not a failure to wait out: the frame waits for the new address.
            claimed_.prepend(frame);
            return stopPosting(QStringLiteral("Sharing stopped: %1.").arg(outcome.reason));
        case Delivery::Retry: {
            ++failuresInRow_;
            const auto wait = retryWait(options_.retry, failuresInRow_, outcome.retryAfter);
            status_.lastFailure = QStringLiteral("%1: %2").arg(
                now.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), outcome.reason);
            status_.nextTry = now.addMSecs(wait.count());
            // Noted for --share-status; a note that cannot be written changes nothing else.
            (void)archive_->noteFailure(*server_, status_.lastFailure,
                                        status_.nextTry.toMSecsSinceEpoch());
            // The frame and the other claims go back while waiting, so another program may
            // post them meanwhile.
            claimed_.prepend(frame);
            releaseClaims();
            retryTimer_.start(std::chrono::milliseconds(wait));
            publishNow();
            return;
        }
    }
    pump();
    publishSoon();
}

void SharingService::releaseClaims() {
    QList<FrameKey> keys;
    for (const ClaimedFrame& frame : claimed_) keys.append(frame.key);
    if (inFlight_) keys.append(inFlight_->key);
    claimed_.clear();
    inFlight_.reset();
    // A release that fails leaves claims that lapse by themselves.
    if (archive_ && server_) (void)archive_->release(*server_, keys);
}

void SharingService::stopFor(const Failure& failure) {
    status_.stopped = (options_.share ? QStringLiteral("Sharing stopped: %1.")
                                      : QStringLiteral("Frames are not kept any more: %1."))
                          .arg(failure.text);
    status_.on = true;  // so that stop() publishes the change
    stop();
}

void SharingService::stopPosting(const QString& why) {
    haltPosting();
    status_.stopped = why;
    status_.on = false;
    publishNow();
}

void SharingService::haltPosting() {
    if (poster_) poster_->abandon();
    retryTimer_.stop();
    idleTimer_.stop();
    releaseClaims();
    server_.reset();
    status_.nextTry = {};
}

void SharingService::publishSoon() {
    if (!publishTimer_.isActive()) publishTimer_.start(PublishIntervalMs);
}

void SharingService::publishNow() {
    publishTimer_.stop();
    if (archive_ && server_) {
        if (const auto tally = archive_->tally(*server_)) {
            status_.sent = tally->sent;
            status_.waiting = tally->waiting;
            status_.rejected = tally->rejected;
        }
        if (options_.countQueuedHere) {
            if (const auto waiting = archive_->waitingQueuedHere(*server_))
                status_.waitingQueuedHere = *waiting;
        }
    }
    emit statusChanged(status_);
}

}  // namespace orvalin
