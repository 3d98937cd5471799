#include "sharing/sids_poster.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace orvalin {

namespace {
// An answer's body beyond this is not needed for a reason and is not read.
constexpr qint64 MaxBodyBytes = 64 * 1024;
}  // namespace

SidsPoster::SidsPoster(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {
    // A redirect would turn the POST into a GET on many servers; an answer 3xx says where the
    // server points, so the user can correct SHARE_URL.
    network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        timedOut_ = true;
        if (reply_) reply_->abort();
    });
}

SidsPoster::~SidsPoster() {
    abandon();
}

void SidsPoster::post(const QUrl& url, const QByteArray& form) {
    abandon();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    timedOut_ = false;
    reply_ = network_->post(request, form);
    connect(reply_, &QNetworkReply::finished, this, &SidsPoster::finish);
    deadline_.start(timeoutMs_);
}

void SidsPoster::abandon() {
    deadline_.stop();
    if (!reply_) return;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void SidsPoster::finish() {
    deadline_.stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    if (!reply) return;
    reply->deleteLater();

    PostAnswer answer;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    // Errors below 200 are those of the connection (refused, closed, host not found, TLS,
    // timeout, aborted); the others come with a complete HTTP answer.
    const bool transportFailed = error != QNetworkReply::NoError && error < 200;
    if (status.isValid() && !transportFailed) {
        answer.httpStatus = status.toInt();
        answer.body = reply->read(MaxBodyBytes);
        answer.retryAfter = reply->rawHeader("Retry-After");
        const QByteArray location = reply->rawHeader("Location").trimmed();
        if (answer.httpStatus >= 300 && answer.httpStatus < 400 && !location.isEmpty()) {
            // A relative Location ("/v2/submit") is read against the address posted to.
            const QUrl target = reply->url().resolved(QUrl(QString::fromUtf8(location)));
            answer.movedTo = target.isValid() ? target.toString() : QString::fromUtf8(location);
        }
    } else if (timedOut_) {
        answer.transportError =
            QStringLiteral("no answer within %1 s").arg(double(timeoutMs_) / 1000.0);
    } else {
        answer.transportError = reply->errorString();
    }
    emit answered(answer);
}

}  // namespace orvalin
