#include "sharing/sids_poster.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <cstring>

namespace orvalin {

namespace {

// An answer's body beyond this is not needed for a reason and is not read.
constexpr qint64 MaxBodyBytes = 64 * 1024;

// The form as an upload that cannot be read twice. When a connection closes before the answer
// has come, Qt 6.4's HTTP layer sends the request again by itself, up to three times at once
// and past the back-off, unless it cannot rewind the upload: then it reports the failure
// (ContentReSendError). The server may well have recorded the first POST, so the frame waits
// its back-off like any failed post. A QBuffer would not do: Qt rewinds a QBuffer itself.
class OneShotUpload : public QIODevice {
public:
    OneShotUpload(QByteArray data, QObject* parent) : QIODevice(parent), data_(std::move(data)) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override {
        return data_.size() - offset_ + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* to, qint64 most) override {
        if (offset_ >= data_.size()) return -1;  // the end of a sequential device
        const qint64 count = std::min<qint64>(most, data_.size() - offset_);
        std::memcpy(to, data_.constData() + offset_, static_cast<std::size_t>(count));
        offset_ += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
    qint64 offset_ = 0;
};

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
    // With its length given and buffering off, Qt sends the upload as it is, and so cannot
    // rewind it to send it again (see OneShotUpload).
    request.setHeader(QNetworkRequest::ContentLengthHeader, form.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    timedOut_ = false;
    auto* upload = new OneShotUpload(form, this);
    reply_ = network_->post(request, upload);
    upload->setParent(reply_);
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
    // timeout, aborted), and so is a request that had to be sent again; the others come with a
    // complete HTTP answer.
    const bool transportFailed = error != QNetworkReply::NoError &&
                                 (error < 200 || error == QNetworkReply::ContentReSendError);
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
    } else if (error == QNetworkReply::ContentReSendError) {
        // Qt's own text for it is "Unknown error".
        answer.transportError = QStringLiteral("Connection closed before the answer");
    } else {
        answer.transportError = reply->errorString();
    }
    emit answered(answer);
}

}  // namespace orvalin
