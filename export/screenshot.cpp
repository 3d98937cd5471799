#include "export/screenshot.h"

#include <QBuffer>
#include <QImageWriter>
#include <QProcess>
#include <QWidget>
#include <utility>

#include "files/atomic_file.h"

namespace orvalin {

namespace {

// The window background, which is also the colour the converter makes transparent: parts of
// the buffer that the client area does not cover stay in it.
constexpr QRgb BufferBackground = qRgb(240, 240, 240);

Result<QByteArray> encodeBmp(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image))
        return Failure{.kind = FailureKind::Other, .text = writer.errorString()};
    buffer.close();
    return bytes;
}

}  // namespace

QString pictureNameFor(const QDate& date) {
    return date.toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".bmp");
}

QStringList converterArguments(const QString& picturePath) {
    // The fixed options, split into single arguments; the path is appended as one argument
    // whatever blanks or other characters it holds.
    QStringList arguments =
        QStringLiteral(
            "-out png -transpcolor 240 240 240 -colors 256 -crop 1 110 652 550 -quiet -D")
            .split(u' ');
    arguments.append(picturePath);
    return arguments;
}

QString captureStatusText(const CaptureResult& result) {
    if (result.saved) return result.path + QStringLiteral(" saved");
    return result.path + QStringLiteral(" was not saved: ") + result.saved.failure().text;
}

QString pictureNotSavedText(const CaptureResult& result) {
    return QStringLiteral("The window picture was not saved.\n\n%1\n\n%2")
        .arg(result.path, result.saved.failure().text);
}

WindowCapture::WindowCapture(QString converterProgram)
    : converterProgram_(std::move(converterProgram)) {}

void WindowCapture::fitBuffer(QSize clientSize) {
    if (clientSize == buffer_.size()) return;
    if (clientSize.isEmpty()) {
        buffer_ = QImage();
        return;
    }
    // Device pixel ratio 1: one buffer pixel per logical pixel on any display.
    buffer_ = QImage(clientSize, QImage::Format_RGB32);
    buffer_.fill(BufferBackground);
}

CaptureResult WindowCapture::capture(QWidget& clientArea, const QString& imagePath,
                                     const QDate& today) {
    if (buffer_.isNull()) fitBuffer(clientArea.size());
    if (!buffer_.isNull()) {
        // render() repaints the widgets, so a covered or partly off-screen window is captured
        // as it looks, not with whatever lies over it.
        clientArea.render(&buffer_, QPoint(0, 0), QRegion(buffer_.rect()),
                          QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    if (pictureName_.isEmpty()) pictureName_ = pictureNameFor(today);

    CaptureResult result;
    result.path = imagePath + QStringLiteral("orvalin_") + pictureName_;
    if (buffer_.isNull()) {
        result.saved = Failure{.kind = FailureKind::Other,
                               .text = QStringLiteral("the window has no area to capture")};
    } else if (const Result<QByteArray> bmp = encodeBmp(buffer_); !bmp) {
        result.saved = bmp.failure();
    } else {
        // Written whole or not at all, so the converter never reads a cut picture.
        result.saved = writeFileAtomically(result.path, *bmp);
    }
    if (result.saved) {
        result.converterStarted =
            QProcess::startDetached(converterProgram_, converterArguments(result.path));
    }
    return result;
}

}  // namespace orvalin
