#include "sharing/sids_poster.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <cstring>

namespace orvalin {

namespace {

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
    body_.clear();
    auto* upload = new OneShotUpload(form, this);
    reply_ = network_->post(request, upload);
    upload->setParent(reply_);
    // With a read buffer size, Qt stops reading the socket while that much waits unread, so an
    // answer of any length is never held whole, here or in its network thread. That thread
    // takes the size only once the request has started there: set now, it would be lost, and
    // the answer read as fast as it comes. Queued here, the call runs after Qt's queued start
    // and before the upload is handed over (its thread asks for it through this queue), so
    // before any answer can be read.
    QMetaObject::invokeMethod(
        this,
        [this, reply = reply_] {
            if (reply && reply == reply_) reply->setReadBufferSize(MaxBodyBytes);
        },
        Qt::QueuedConnection);
    connect(reply_, &QNetworkReply::readyRead, this, &SidsPoster::keepBody);
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

void SidsPoster::keepBody() {
    if (!reply_) return;
    body_ += reply_->read(MaxBodyBytes - body_.size());
    // More than is kept: the answer is judged now, and abort() closes its connection (the
    // rest of the body would otherwise have to be read through to reuse it).
    if (body_.size() >= MaxBodyBytes && reply_->bytesAvailable() > 0) reply_->abort();
}

void SidsPoster::finish() {
    deadline_.stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    if (!reply) return;
    reply->disconnect(this);
    reply->deleteLater();

    PostAnswer answer;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        // The status line and headers came: they decide, whatever ended the body (its end, the
        // cut at MaxBodyBytes, the deadline or a closed connection). A server that has
        // answered has recorded the frame; posting it again would send it twice.
        answer.httpStatus = status.toInt();
        if (reply->isOpen()) body_ += reply->read(MaxBodyBytes - body_.size());  // not if cut
        answer.body = body_;
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
    } else if (reply->error() == QNetworkReply::ContentReSendError) {
        // Qt's own text for it is "Unknown error".
        answer.transportError = QStringLiteral("Connection closed before the answer");
    } else {
        answer.transportError = reply->errorString();
    }
    body_.clear();
    emit answered(answer);
}

}  // namespace orvalin
