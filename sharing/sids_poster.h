// Posts one SiDS form at a time over a kept-alive connection (QNetworkAccessManager keeps the
// connection to a host open between requests). HTTPS checks the server's certificate against
// the system's certificates; a certificate error is a failed post, never ignored. A post that
// has no answer within the timeout is abandoned as a failure.
//
// One attempt is one POST: the form goes out once, and a connection that closes before the
// answer is a failed post, never sent again by the network layer. The status line decides;
// at most MaxBodyBytes of the body are kept, for the reason, and a longer answer is cut there
// and its connection closed, so an answer of any size costs no more memory than that.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "sharing/delivery_rules.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace orvalin {

class SidsPoster : public QObject {
    Q_OBJECT
public:
    // The most of an answer's body that is kept (64 KiB).
    static constexpr qint64 MaxBodyBytes = 64 * 1024;

    explicit SidsPoster(QObject* parent = nullptr);
    ~SidsPoster() override;

    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    bool busy() const { return !reply_.isNull(); }

    // Starts a post; `answered` follows, unless abandon() comes first.
    void post(const QUrl& url, const QByteArray& form);
    // Drops the post in flight without an answer.
    void abandon();

signals:
    void answered(const orvalin::PostAnswer& answer);

private:
    void keepBody();
    void finish();

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;  // of the answer in flight, at most MaxBodyBytes
    QTimer deadline_;
    int timeoutMs_ = 30000;
    bool timedOut_ = false;
};

}  // namespace orvalin
