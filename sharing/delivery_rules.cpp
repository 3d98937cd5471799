#include "sharing/delivery_rules.h"

#include <algorithm>

namespace orvalin {

namespace {

using std::chrono::milliseconds;

// Retry-After: delay-seconds, or an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT"). A date in
// the past means at once.
std::optional<milliseconds> retryAfterOf(const QByteArray& header, const QDateTime& now) {
    const QByteArray text = header.trimmed();
    if (text.isEmpty()) return std::nullopt;
    bool isNumber = false;
    const qlonglong seconds = text.toLongLong(&isNumber);
    if (isNumber) return seconds < 0 ? std::nullopt : std::optional(milliseconds(seconds * 1000));
    // HTTP dates end in "GMT", which Qt's RFC 2822 reading does not take for +0000.
    QString date = QString::fromLatin1(text);
    if (date.endsWith(QLatin1String(" GMT"))) date = date.chopped(3) + QStringLiteral("+0000");
    const QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!when.isValid()) return std::nullopt;
    return milliseconds(std::max<qint64>(0, now.msecsTo(when)));
}

// The body as a one-line reason: control characters as spaces, trimmed, bounded.
QString reasonOf(const QByteArray& body) {
    QString text = QString::fromUtf8(body.left(4 * MaxReasonLength));
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) c = u' ';
    }
    text = text.simplified();
    if (text.size() > MaxReasonLength) text = text.left(MaxReasonLength - 1) + u'…';
    return text;
}

}  // namespace

PostOutcome judgeAnswer(const PostAnswer& answer, const QDateTime& now) {
    PostOutcome outcome;
    const int status = answer.httpStatus;
    if (status == 0) {
        outcome.reason =
            answer.transportError.isEmpty() ? QStringLiteral("no answer") : answer.transportError;
        return outcome;
    }
    if (status >= 200 && status < 300) {
        outcome.delivery = Delivery::Sent;
        return outcome;
    }
    if (status >= 300 && status < 400) {
        outcome.delivery = Delivery::Moved;
        const QString to = reasonOf(answer.movedTo.toUtf8());
        const QString where = to.isEmpty() ? QStringLiteral("without a new address; check")
                                           : QStringLiteral("and moved to %1; fix").arg(to);
        outcome.reason = QStringLiteral("the server answered %1 %2 SHARE_URL in conf.ini")
                             .arg(QString::number(status), where);
        return outcome;
    }
    const QString reason = reasonOf(answer.body);
    const QString statusText = QStringLiteral("HTTP %1").arg(status);
    if (status >= 400 && status < 500 && status != 408 && status != 429) {
        outcome.delivery = Delivery::Rejected;
        outcome.reason = reason.isEmpty() ? statusText : statusText + QStringLiteral(": ") + reason;
        return outcome;
    }
    outcome.reason = reason.isEmpty() ? statusText : statusText + QStringLiteral(": ") + reason;
    outcome.retryAfter = retryAfterOf(answer.retryAfter, now);
    return outcome;
}

milliseconds retryWait(const RetryPolicy& policy, int failuresInRow,
                       std::optional<milliseconds> retryAfter) {
    if (retryAfter) return std::min(*retryAfter, milliseconds(24 * 3600 * 1000));
    milliseconds wait = policy.firstWait;
    for (int i = 1; i < failuresInRow && wait < policy.longestWait; ++i) wait *= 2;
    return std::min(wait, policy.longestWait);
}

}  // namespace orvalin
