// What a server's answer means for the frame that was posted, and how long to wait before the
// next try. One pure function each, so every rule sits in one table of tests.
//
//   2xx                                  sent
//   3xx                                  moved: a setting to fix, not a failure to wait out;
//                                        sharing stops, the message names the new address
//   4xx other than 408 and 429           rejected: the server's reason kept, never posted again
//   408, 429, 5xx, any other status,     retried after a growing wait: the base wait (5 s)
//   refused or dropped connection, DNS   doubled after each failure in a row up to 10 min;
//   failure, TLS/certificate error,      a Retry-After of the answer (seconds or an HTTP
//   timeout                              date) is honoured instead
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <optional>

namespace orvalin {

// One answer as the poster saw it.
struct PostAnswer {
    int httpStatus = 0;      // 0 when no complete HTTP answer came
    QString transportError;  // why no answer came (connection, TLS, timeout); empty otherwise
    QByteArray body;         // the answer's body, as much as was read
    QByteArray retryAfter;   // the Retry-After header, as sent
    QString movedTo;         // a 3xx's Location, read against the address posted to
};

enum class Delivery { Sent, Rejected, Retry, Moved };

struct PostOutcome {
    Delivery delivery = Delivery::Retry;
    // rejected: the server's reason; retry: what failed; moved: where to, and what to do;
    // sent: empty
    QString reason;
    std::optional<std::chrono::milliseconds> retryAfter;  // the server's wait, when it gave one
};

// The longest reason kept from an answer's body, in characters.
inline constexpr int MaxReasonLength = 500;

// `now` is the time the answer came, for a Retry-After given as a date.
PostOutcome judgeAnswer(const PostAnswer& answer, const QDateTime& now);

struct RetryPolicy {
    std::chrono::milliseconds firstWait{5000};
    std::chrono::milliseconds longestWait{600000};
};

// The wait before the next try after `failuresInRow` (>= 1) failures in a row: the server's
// Retry-After when it gave one (never more than a day), else the growing wait.
std::chrono::milliseconds retryWait(const RetryPolicy& policy, int failuresInRow,
                                    std::optional<std::chrono::milliseconds> retryAfter);

}  // namespace orvalin
