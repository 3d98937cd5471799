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
    : QObject(parent), options_(std::move(options)) {
    qRegisterMetaType<SharingStatus>();
    qRegisterMetaType<PostAnswer>();
    qRegisterMetaType<QList<ReceivedFrame>>();
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
    if (archive_) return;
    auto opened = FrameArchive::open(options_.archivePath, options_.archive);
    if (!opened) return stopFor(opened.failure());
    archive_ = std::move(*opened);
    if (!poster_) {
        poster_ = new SidsPoster(this);
        poster_->setTimeoutMs(options_.timeoutMs);
        connect(poster_, &SidsPoster::answered, this, &SharingService::onAnswered);
    }
    status_.on = true;
    status_.stopped.clear();
    status_.note = archive_->journalNote();
    failuresInRow_ = 0;
    publishNow();
    pump();
}

void SharingService::stop() {
    if (poster_) poster_->abandon();
    retryTimer_.stop();
    idleTimer_.stop();
    if (archive_) {
        releaseClaims();
        archive_.reset();
    }
    status_.nextTry = {};
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
        added.append(
            {.frame = frame, .timestamp = sidsTimestamp(frame, options_.station.logTimeZone)});
    const auto queued = archive_->add(added, options_.station.shareUrl.toString(), nowMs());
    if (!queued) return stopFor(queued.failure());
    status_.queuedHere += *queued;
    if (*queued > 0) pump();
    publishSoon();
}

void SharingService::pump() {
    if (!archive_ || !poster_ || poster_->busy() || retryTimer_.isActive()) return;
    const qint64 now = nowMs();
    // Claims held too long in memory go back, so they are always posted well within the lapse.
    if (!claimed_.isEmpty() && now - claimedAtMs_ > options_.archive.claimLapseMs / 2)
        releaseClaims();
    if (claimed_.isEmpty()) {
        const auto claimed = archive_->claim(ClaimBatch, now);
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
    poster_->post(options_.station.shareUrl, sidsForm(options_.station, inFlight_->timestamp,
                                                      inFlight_->bytes, options_.version));
}

void SharingService::onAnswered(const PostAnswer& answer) {
    if (!archive_ || !inFlight_) return;
    const ClaimedFrame frame = *inFlight_;
    inFlight_.reset();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const PostOutcome outcome = judgeAnswer(answer, now);
    const QString url = options_.station.shareUrl.toString();
    switch (outcome.delivery) {
        case Delivery::Sent:
            failuresInRow_ = 0;
            if (const Result<> marked =
                    archive_->markSent(frame.id, url, answer.httpStatus, now.toMSecsSinceEpoch());
                !marked)
                return stopFor(marked.failure());
            break;
        case Delivery::Rejected:
            failuresInRow_ = 0;
            if (const Result<> marked = archive_->markRejected(
                    frame.id, url, answer.httpStatus, outcome.reason, now.toMSecsSinceEpoch());
                !marked)
                return stopFor(marked.failure());
            break;
        case Delivery::Moved:
            // A setting to fix, not a failure to wait out: the frame waits for the new address.
            claimed_.prepend(frame);
            status_.stopped = QStringLiteral("Sharing stopped: %1.").arg(outcome.reason);
            stop();
            return;
        case Delivery::Retry: {
            ++failuresInRow_;
            const auto wait = retryWait(options_.retry, failuresInRow_, outcome.retryAfter);
            status_.lastFailure = QStringLiteral("%1: %2").arg(
                now.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), outcome.reason);
            status_.nextTry = now.addMSecs(wait.count());
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
    QList<qint64> ids;
    for (const ClaimedFrame& frame : claimed_) ids.append(frame.id);
    if (inFlight_) ids.append(inFlight_->id);
    claimed_.clear();
    inFlight_.reset();
    // A release that fails leaves claims that lapse by themselves.
    if (archive_) (void)archive_->release(ids);
}

void SharingService::stopFor(const Failure& failure) {
    status_.stopped = QStringLiteral("Sharing stopped: %1.").arg(failure.text);
    status_.on = true;  // so that stop() publishes the change
    stop();
}

void SharingService::publishSoon() {
    if (!publishTimer_.isActive()) publishTimer_.start(PublishIntervalMs);
}

void SharingService::publishNow() {
    publishTimer_.stop();
    if (archive_) {
        if (const auto tally = archive_->tally()) {
            status_.sent = tally->sent;
            status_.waiting = tally->waiting;
            status_.rejected = tally->rejected;
        }
        if (options_.countQueuedHere) {
            if (const auto waiting = archive_->waitingQueuedHere())
                status_.waitingQueuedHere = *waiting;
        }
    }
    emit statusChanged(status_);
}

}  // namespace orvalin
