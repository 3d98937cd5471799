#include "shell/info_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <memory>

#include "shell/main_window_layout.h"

namespace orvalin {
namespace {

// Closes the dialog and lets its deferred deletion run, as the event loop would.
void closeAndDelete(QWidget* window) {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class InfoDialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (dialog_) closeAndDelete(dialog_);
    }
    QLabel* label(const char* name) const { return dialog_->findChild<QLabel*>(name); }
    static int openDialogs() {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<InfoDialog*>(widget) != nullptr) ++count;
        }
        return count;
    }

    QPointer<InfoDialog> dialog_;
};

TEST_F(InfoDialogTest, ShowsItsTextsWithTheVersionLine) {
    showInfoDialog(dialog_);
    ASSERT_TRUE(dialog_);
    EXPECT_EQ(dialog_->windowTitle(), " Info");
    const struct {
        const char* name;
        const char* text;
    } texts[] = {
        {"Label1", "Orvalin Telemetry Decoder"},
        {"Label2", "Version Ver. 0.2    (31 May 2017)"},
        {"Label3", InfoDialog::Notice},
        {"Label4", InfoDialog::WebAddress},
        {"Label5", InfoDialog::MailAddress},
        {"Label6", "Homepage:"},
        {"Label7", "e-mail:"},
        {"Label8", "Teskar"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.name);
        QLabel* shown = label(t.name);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->text(), t.text);
        // The whole text is visible in the label's width.
        EXPECT_LE(QFontMetrics(shown->font()).horizontalAdvance(shown->text()), shown->width());
    }
    EXPECT_EQ(label("Label2")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    // Address labels look like links but are plain text that opens nothing.
    for (const char* name : {"Label4", "Label5"}) {
        EXPECT_TRUE(label(name)->font().underline());
        EXPECT_EQ(label(name)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_FALSE(label(name)->openExternalLinks());
        EXPECT_EQ(label(name)->textFormat(), Qt::PlainText);
    }
    EXPECT_TRUE(label("Label1")->font().bold());
    EXPECT_EQ(label("Label1")->font().pixelSize(), 16);  // 12 pt at 96 dpi
    EXPECT_TRUE(label("Label8")->font().bold());
    EXPECT_EQ(label("Label3")->font().pixelSize(), 11);  // 8.25 pt at 96 dpi
}

TEST_F(InfoDialogTest, HasTheLayoutOfTheTableInPixels) {
    showInfoDialog(dialog_);
    EXPECT_EQ(dialog_->size(), QSize(277, 190));
    EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize());  // not resizable
    const Qt::WindowFlags flags = dialog_->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

    auto* frame = dialog_->findChild<QFrame*>("Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->geometry(), QRect(8, 88, 233, 41));
    const struct {
        const char* name;
        QWidget* container;
        QRect geometry;
    } places[] = {
        {"Label1", dialog_, QRect(8, 8, 241, 25)},   {"Label3", dialog_, QRect(8, 40, 201, 17)},
        {"Label8", dialog_, QRect(8, 64, 49, 17)},   {"Label2", frame, QRect(8, 16, 217, 17)},
        {"Label6", dialog_, QRect(24, 144, 57, 17)}, {"Label4", dialog_, QRect(88, 144, 121, 17)},
        {"Label7", dialog_, QRect(24, 168, 41, 17)}, {"Label5", dialog_, QRect(88, 168, 121, 17)},
    };
    for (const auto& p : places) {
        SCOPED_TRACE(p.name);
        ASSERT_NE(label(p.name), nullptr);
        EXPECT_EQ(label(p.name)->parentWidget(), p.container);
        EXPECT_EQ(label(p.name)->geometry(), p.geometry);
    }
}

TEST_F(InfoDialogTest, IsWhite) {
    showInfoDialog(dialog_);
    const QImage picture = dialog_->grab().toImage();
    const qreal ratio = picture.devicePixelRatio();
    // Corners of the dialog, the empty part of a label and the inside of the frame.
    for (const QPoint point : {QPoint(1, 1), QPoint(275, 188), QPoint(200, 45), QPoint(230, 110),
                               QPoint(12, 95), QPoint(120, 125)}) {
        SCOPED_TRACE(point.x());
        EXPECT_EQ(picture.pixelColor(point * ratio), QColor(Qt::white));
    }
}

TEST_F(InfoDialogTest, IsOneWindowWithoutOwnerThatDoesNotBlock) {
    InfoDialog* first = showInfoDialog(dialog_);
    InfoDialog* second = showInfoDialog(dialog_);
    EXPECT_EQ(first, second);
    EXPECT_EQ(openDialogs(), 1);
    EXPECT_EQ(first->parentWidget(), nullptr);
    EXPECT_TRUE(first->isWindow());
    EXPECT_EQ(first->windowModality(), Qt::NonModal);
    EXPECT_TRUE(first->testAttribute(Qt::WA_DeleteOnClose));
}

TEST_F(InfoDialogTest, EscapeClosesAndDestroysItAndTheNextInfoBuildsItAgain) {
    showInfoDialog(dialog_);
    label("Label2")->setText("changed");
    QTest::keyClick(dialog_, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog_.isNull());
    EXPECT_EQ(openDialogs(), 0);

    showInfoDialog(dialog_);
    ASSERT_TRUE(dialog_);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(label("Label2")->text(), "Version Ver. 0.2    (31 May 2017)");
}

TEST_F(InfoDialogTest, HasTheMainWindowsIcon) {
    showInfoDialog(dialog_);
    const QImage dialogIcon = dialog_->windowIcon().pixmap(64, 64).toImage();
    ASSERT_FALSE(dialogIcon.isNull());
    EXPECT_EQ(dialogIcon, programIcon().pixmap(64, 64).toImage());
}

// The program ends when its last window closes: closing the main window leaves an open dialog
// running, and closing the dialog then ends the event loop.
TEST_F(InfoDialogTest, KeepsTheProgramRunningAfterTheMainWindowCloses) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) GTEST_SKIP() << "another test left a window open";
    }
    auto mainWindow = std::make_unique<QWidget>();
    mainWindow->show();
    showInfoDialog(dialog_);

    bool dialogOpenAfterMainClosed = false;
    bool loopRanAfterMainClosed = false;
    QTimer::singleShot(0, [&] {
        mainWindow->close();
        dialogOpenAfterMainClosed = dialog_ && dialog_->isVisible();
        // A later timer: it fires only if the loop goes on after the main window closed.
        QTimer::singleShot(100, [&] {
            loopRanAfterMainClosed = true;
            if (dialog_) dialog_->close();
        });
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    safety.start(10000);  // only on failure: the loop did not end with the last window
    const int exitCode = QApplication::exec();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(dialogOpenAfterMainClosed);
    EXPECT_TRUE(loopRanAfterMainClosed);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog_.isNull());
}

}  // namespace
}  // namespace orvalin
