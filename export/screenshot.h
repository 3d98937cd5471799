// The window picture behind the "S" button: the main window's client area is drawn into a
// capture buffer of the client area's size in logical pixels (whatever the display's scale
// factor, so that the converter's fixed crop rectangle fits), saved as a BMP under the picture
// prefix, and handed to the outside converter nconvert, which makes a cropped PNG of it. The
// converter is started with an argument list, never through a shell, and not waited for.
#pragma once

#include <QDate>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

#include "files/failure.h"

namespace orvalin {

inline constexpr char ConverterProgram[] = "nconvert";

// The message box when the converter cannot be started (information icon, one OK button).
inline constexpr char ConverterMissingText[] = "nconvert.exe not found";
inline constexpr char ConverterMissingTitle[] = "Error";

// The message box when the picture cannot be saved (warning icon, one OK button).
inline constexpr char PictureNotSavedTitle[] = "Screenshot";

// "DDMMYYYY.bmp", e.g. "06122026.bmp" for 6 December 2026.
QString pictureNameFor(const QDate& date);

// The converter's arguments: PNG output, grey 240 240 240 transparent, 256 colours, the crop
// rectangle 1 110 652 550 (the band between the input box and the status line), quiet, and
// the picture path as one argument.
QStringList converterArguments(const QString& picturePath);

struct CaptureResult {
    QString path;                   // imagePath + "orvalin_" + picture name
    Result<> saved;                 // the BMP was written completely, or why not
    bool converterStarted = false;  // only tried once the BMP is saved
};

// Status line after a capture: "<path> saved", or "<path> was not saved: <why>".
QString captureStatusText(const CaptureResult& result);
// The message box text after a picture that could not be saved.
QString pictureNotSavedText(const CaptureResult& result);

// One per main window: the capture buffer and the picture name, which is set at the first
// capture and kept for the window's life (also past midnight), so every capture of one window
// replaces the same file.
class WindowCapture {
public:
    // converterProgram is looked up on PATH when it holds no "/".
    explicit WindowCapture(QString converterProgram = QString::fromLatin1(ConverterProgram));

    // Keeps the buffer at the client area's size in logical pixels (the resize handler).
    void fitBuffer(QSize clientSize);
    QSize bufferSize() const { return buffer_.size(); }

    // Empty until the first capture.
    const QString& pictureName() const { return pictureName_; }

    // Draws clientArea (with its children) into the buffer from its top-left corner, saves the
    // buffer as BMP under imagePath + "orvalin_" + picture name (the prefix used exactly as
    // given; an existing file is replaced whole) and, only when saved, starts the converter on
    // it. Before any fitBuffer() the buffer takes clientArea's size.
    CaptureResult capture(QWidget& clientArea, const QString& imagePath,
                          const QDate& today = QDate::currentDate());

private:
    QString converterProgram_;
    QString pictureName_;
    QImage buffer_;
};

}  // namespace orvalin
