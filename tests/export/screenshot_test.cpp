#include "export/screenshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>

#include "file_size_limit.h"

namespace orvalin {
namespace {

constexpr QSize ClientArea(615, 696);
const QDate CaptureDay(2026, 12, 6);

TEST(PictureName, IsDayMonthYearWithLeadingZeros) {
    const struct {
        QDate date;
        const char* name;
    } cases[] = {{QDate(2026, 12, 6), "06122026.bmp"},
                 {QDate(2000, 1, 1), "01012000.bmp"},
                 {QDate(1999, 12, 31), "31121999.bmp"}};
    for (const auto& c : cases) EXPECT_EQ(pictureNameFor(c.date), c.name);
}

// Puts a fake converter first on PATH for the test's life. It writes its arguments, each
// followed by a NUL byte, into a file and renames it into place once complete.
class FakeConverter {
public:
    explicit FakeConverter(const QString& dir) : dir_(dir), savedPath_(qgetenv("PATH")) {
        QFile script(dir + "/nconvert");
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + QFile::encodeName(argsPath()) +
                     ".part' && mv '" + QFile::encodeName(argsPath()) + ".part' '" +
                     QFile::encodeName(argsPath()) + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir) + ':' + savedPath_);
    }
    ~FakeConverter() { qputenv("PATH", savedPath_); }

    QString argsPath() const { return dir_ + "/args"; }

    // The arguments of the run, waiting for them at most 20 s.
    QStringList arguments() const {
        QDeadlineTimer deadline(20000);
        while (!QFile::exists(argsPath()) && !deadline.hasExpired()) QTest::qWait(20);
        QFile file(argsPath());
        if (!file.open(QIODevice::ReadOnly)) return {"<converter did not run>"};
        QStringList arguments;
        for (const QByteArray& argument : file.readAll().split('\0')) {
            arguments.append(QFile::decodeName(argument));
        }
        arguments.removeLast();  // the piece after the last NUL
        return arguments;
    }

private:
    QString dir_;
    QByteArray savedPath_;
};

class WindowCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        window_ = std::make_unique<QWidget>();
        window_->setFixedSize(ClientArea);
        QPalette palette = window_->palette();
        palette.setColor(QPalette::Window, QColor(240, 240, 240));
        window_->setPalette(palette);
        window_->setAutoFillBackground(true);
        marker_ = new QWidget(window_.get());
        marker_->setGeometry(100, 200, 50, 40);
        setMarkerColour(Qt::red);
        window_->show();
    }
    void setMarkerColour(QColor colour) {
        QPalette palette = marker_->palette();
        palette.setColor(QPalette::Window, colour);
        marker_->setPalette(palette);
        marker_->setAutoFillBackground(true);
    }
    QString pictureDir() const { return dir_.path() + "/pics/"; }
    CaptureResult captureInto(WindowCapture& capture, const QString& imagePath,
                              QDate day = CaptureDay) {
        QDir().mkpath(imagePath);
        capture.fitBuffer(window_->size());
        return capture.capture(*window_, imagePath, day);
    }

    QTemporaryDir dir_;
    std::unique_ptr<QWidget> window_;
    QWidget* marker_ = nullptr;  // owned by window_
};

TEST_F(WindowCaptureTest, SavesTheClientAreaAsBmpOfItsLogicalSize) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        ASSERT_NE(window_->devicePixelRatioF(), 1.0) << "the scaled run must really be scaled";
    }
    WindowCapture capture(QStringLiteral("orvalin-test-no-converter"));
    const CaptureResult result = captureInto(capture, pictureDir());
    ASSERT_TRUE(result.saved) << result.saved.failure().text.toStdString();
    EXPECT_EQ(result.path, pictureDir() + "orvalin_06122026.bmp");
    EXPECT_EQ(capture.pictureName(), "06122026.bmp");
    EXPECT_EQ(captureStatusText(result), result.path + " saved");

    QImageReader reader(result.path);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage picture = reader.read();
    ASSERT_EQ(picture.size(), ClientArea);
    EXPECT_EQ(picture.pixelColor(125, 220), QColor(Qt::red));    // the child widget
    EXPECT_EQ(picture.pixelColor(5, 5), QColor(240, 240, 240));  // the window background
    EXPECT_EQ(picture.pixelColor(614, 695), QColor(240, 240, 240));
}

TEST_F(WindowCaptureTest, LaterCapturesReplaceTheSamePictureAlsoOnALaterDay) {
    WindowCapture capture(QStringLiteral("orvalin-test-no-converter"));
    const CaptureResult first = captureInto(capture, pictureDir(), CaptureDay);
    setMarkerColour(Qt::blue);
    const CaptureResult second = captureInto(capture, pictureDir(), CaptureDay.addDays(1));
    ASSERT_TRUE(second.saved);
    EXPECT_EQ(second.path, first.path);
    EXPECT_EQ(QImage(second.path).pixelColor(125, 220), QColor(Qt::blue));
    EXPECT_EQ(QDir(pictureDir()).entryList(QDir::Files), QStringList{"orvalin_06122026.bmp"});

    WindowCapture nextWindow(QStringLiteral("orvalin-test-no-converter"));
    EXPECT_EQ(captureInto(nextWindow, pictureDir(), CaptureDay.addDays(1)).path,
              pictureDir() + "orvalin_07122026.bmp");
}

TEST_F(WindowCaptureTest, PrefixIsUsedExactlyAsGiven) {
    WindowCapture capture(QStringLiteral("orvalin-test-no-converter"));
    QDir().mkpath(dir_.path() + "/pics");
    // Without a trailing "/" the prefix is glued to the file name.
    const CaptureResult glued = capture.capture(*window_, dir_.path() + "/pics", CaptureDay);
    EXPECT_TRUE(glued.saved);
    EXPECT_TRUE(QFileInfo(dir_.path() + "/picsorvalin_06122026.bmp").isFile());

    // An empty prefix names a file in the working directory.
    const QString savedCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    const CaptureResult relative = capture.capture(*window_, QString(), CaptureDay);
    QDir::setCurrent(savedCurrent);
    EXPECT_EQ(relative.path, "orvalin_06122026.bmp");
    EXPECT_TRUE(QFileInfo(dir_.path() + "/orvalin_06122026.bmp").isFile());
}

TEST_F(WindowCaptureTest, ConverterGetsFixedOptionsAndThePathAsOneArgument) {
    const struct {
        const char* name;
        const char* directory;
    } cases[] = {
        {"plain", "/pics/"},
        {"blanks", "/my pictures/"},
        {"shell characters", "/a;b & c|d $(touch injected) `touch injected2` 'q\" >x/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir converterDir;
        FakeConverter converter(converterDir.path());
        WindowCapture capture;  // the real converter name, found on PATH
        const CaptureResult result = captureInto(capture, dir_.path() + c.directory);
        ASSERT_TRUE(result.saved) << result.saved.failure().text.toStdString();
        EXPECT_TRUE(result.converterStarted);
        QStringList expected = {"-out", "png",     "-transpcolor", "240",    "240",
                                "240",  "-colors", "256",          "-crop",  "1",
                                "110",  "652",     "550",          "-quiet", "-D"};
        expected.append(result.path);
        EXPECT_EQ(converter.arguments(), expected);
    }
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("injected")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("injected2")));
    EXPECT_FALSE(QFileInfo::exists(dir_.path() + "/injected"));
}

TEST_F(WindowCaptureTest, MissingConverterIsReportedAndThePictureStays) {
    WindowCapture capture(QStringLiteral("orvalin-test-no-converter"));
    const CaptureResult result = captureInto(capture, pictureDir());
    EXPECT_TRUE(result.saved);
    EXPECT_FALSE(result.converterStarted);
    EXPECT_TRUE(QFileInfo(result.path).isFile());
    EXPECT_EQ(captureStatusText(result), result.path + " saved");
}

// A picture that cannot be saved: no " saved" text, a reason, and the converter not started.
TEST_F(WindowCaptureTest, UnsavablePictureIsReportedAndNotConverted) {
    QTemporaryDir converterDir;
    FakeConverter converter(converterDir.path());
    const QString readOnly = dir_.path() + "/readonly/";
    QDir().mkpath(readOnly);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    const bool rootWritesAnyway = ::access(QFile::encodeName(readOnly).constData(), W_OK) == 0;
    QDir().mkpath(dir_.path() + "/blocked/orvalin_06122026.bmp");

    const struct {
        const char* name;
        QString imagePath;
    } cases[] = {
        {"missing directory", dir_.path() + "/missing/"},
        {"directory in the picture's place", dir_.path() + "/blocked/"},
        {"read-only directory", readOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.imagePath == readOnly && rootWritesAnyway) continue;  // root writes anyway
        WindowCapture capture;
        const CaptureResult result = capture.capture(*window_, c.imagePath, CaptureDay);
        ASSERT_FALSE(result.saved);
        EXPECT_FALSE(result.converterStarted);
        EXPECT_FALSE(result.saved.failure().text.isEmpty());
        EXPECT_EQ(captureStatusText(result),
                  result.path + " was not saved: " + result.saved.failure().text);
        EXPECT_FALSE(captureStatusText(result).endsWith(" saved"));
        EXPECT_TRUE(pictureNotSavedText(result).contains(result.path));
        EXPECT_FALSE(QFileInfo(result.path).isFile());
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(QFile::exists(converter.argsPath()));
}

// A write error part-way through the picture (as on a full disk) keeps the earlier picture.
TEST_F(WindowCaptureTest, WriteErrorKeepsTheEarlierPicture) {
    WindowCapture capture(QStringLiteral("orvalin-test-no-converter"));
    const CaptureResult first = captureInto(capture, pictureDir());
    ASSERT_TRUE(first.saved);
    setMarkerColour(Qt::green);
    CaptureResult second;
    {
        FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.active());
        second = capture.capture(*window_, pictureDir(), CaptureDay);
    }
    EXPECT_FALSE(second.saved);
    EXPECT_FALSE(second.converterStarted);
    EXPECT_NE(second.saved.failure().text, "Unknown error");
    EXPECT_EQ(QImage(first.path).pixelColor(125, 220), QColor(Qt::red));
    EXPECT_EQ(QDir(pictureDir()).entryList(QDir::Files), QStringList{"orvalin_06122026.bmp"});
}

}  // namespace
}  // namespace orvalin
