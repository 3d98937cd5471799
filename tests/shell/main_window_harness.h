// Drives the real main window offscreen: controls are found by object name, text is typed and
// pasted with key events, buttons and arrows are clicked with the mouse.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decoder/channels.h"
#include "decoder/test_lines.h"
#include "shell/main_window.h"
#include "views/bar_chart.h"

namespace orvalin::test {

// Frame byte k holds the value k: channel c reads c + 3.
inline const QString& WorkedExampleLine = WorkedLine;

// "HH:MM:SS" of logLine(second, ...).
inline QString timeText(int second) {
    return QStringLiteral("%1:%2:%3")
        .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'));
}

// A log line received `second` seconds after 00:00:00 whose frame bytes all hold `byte`.
inline QString logLine(int second, int byte) {
    const QString hex = QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0'));
    return lineWithFrame(hex.repeated(32),
                         QStringLiteral("!06122026@") + timeText(second).remove(u':') + u';');
}

// `count` log lines, record r (from 1) received at second r - 1 with all bytes r % 256,
// joined with `lineEnd`.
inline QString logText(int count, const QString& lineEnd = QStringLiteral("\r\n")) {
    QStringList lines;
    for (int r = 1; r <= count; ++r) lines << logLine(r - 1, r % 256);
    return lines.join(lineEnd);
}

// A named pipe planted at `path` for as long as this lives, where the window is to write; a
// file already there is put aside meanwhile. Opening a pipe for writing waits for a reader, so
// should the window open it after all, a reader comes after a few seconds and the test fails
// instead of waiting for ever.
class PlantedFifo {
public:
    explicit PlantedFifo(const QString& path)
        : path_(QFile::encodeName(path).toStdString()), aside_(path_ + ".aside") {
        hadFile_ = ::rename(path_.c_str(), aside_.c_str()) == 0;
        EXPECT_EQ(::mkfifo(path_.c_str(), 0644), 0) << path_;
        reader_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (released_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) return;
            lock.unlock();
            waited_ = true;
            const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            char bytes[65536];
            for (;;) {
                pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
                ::poll(&ready, 1, 100);
                while (::read(fd, bytes, sizeof bytes) > 0) {
                }
                lock.lock();
                if (done_) break;
                lock.unlock();
            }
            ::close(fd);
        });
    }
    ~PlantedFifo() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        released_.notify_one();
        reader_.join();
        ::unlink(path_.c_str());
        if (hadFile_) ::rename(aside_.c_str(), path_.c_str());
        if (waited_) ADD_FAILURE() << "the window waited for a reader of " << path_;
    }

private:
    std::string path_;
    std::string aside_;
    bool hadFile_ = false;
    std::mutex mutex_;
    std::condition_variable released_;
    bool done_ = false;
    std::atomic<bool> waited_ = false;
    std::thread reader_;
};

// A message box the window asked for, recorded instead of shown (MainWindow::setMessagePresenter).
struct ShownMessage {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Makes `window` record its message boxes in `messages` instead of showing them.
inline void recordMessages(MainWindow& window, std::vector<ShownMessage>& messages) {
    window.setMessagePresenter(
        [&messages](QMessageBox::Icon icon, const QString& title, const QString& text) {
            messages.push_back({icon, title, text});
        });
}

// The real window, opened on a temporary application directory (conf.ini, the CSV file and
// the pictures go there), with its message boxes recorded instead of shown.
class WindowHarness : public ::testing::Test {
protected:
    void TearDown() override {
        if (window_) window_->close();
        window_.reset();
        QApplication::clipboard()->clear();
    }

    // Opens the window; an empty `applicationDir` is appDir_.
    MainWindow& open(const QString& applicationDir = QString()) {
        EXPECT_TRUE(appDir_.isValid());
        window_ = std::make_unique<MainWindow>(applicationDir.isEmpty() ? appDir_.path()
                                                                        : applicationDir);
        recordMessages(*window_, messages_);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }

    MainWindow& form() { return *window_; }

    template <typename T = QWidget>
    T* control(const QString& name) {
        T* widget = window_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QPlainTextEdit* logInput() { return control<QPlainTextEdit>(QStringLiteral("Text2")); }
    QLineEdit* valueBoxes(int channel) { return control<QLineEdit>(indexed("Text1", channel)); }
    QRadioButton* channelButtons(int channel) {
        return control<QRadioButton>(indexed("Option1", channel));
    }
    QLabel* label(const char* name) { return control<QLabel>(QString::fromLatin1(name)); }
    QScrollBar* recordNavigator() { return control<QScrollBar>(QStringLiteral("HScroll1")); }
    QGroupBox* chartFrame() { return control<QGroupBox>(QStringLiteral("Frame8")); }
    QWidget* chartPlot() { return control(QStringLiteral("MSChart1")); }

    static QString indexed(const char* base, int index) {
        return QString::fromLatin1(base) + u'(' + QString::number(index) + u')';
    }

    // The program sets the whole text of the input box, as a file opened would.
    void setText(const QString& text) {
        logInput()->setPlainText(text);
        settle();
    }
    // Pastes with Ctrl+V at the cursor of the input box; `replaceAll` selects the whole text first.
    void paste(const QString& text, bool replaceAll = true) {
        QApplication::clipboard()->setText(text);
        logInput()->setFocus();
        if (replaceAll) QTest::keyClick(logInput(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(logInput(), Qt::Key_V, Qt::ControlModifier);
        settle();
    }
    void typeText(const QString& text) {
        logInput()->setFocus();
        QTest::keyClicks(logInput(), text);
        settle();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        logInput()->setFocus();
        QTest::keyClick(logInput(), key, modifiers);
        settle();
    }
    // Lets the queued chart redraw and the repaints run.
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    // The 29 value boxes as shown.
    QStringList valueTexts() {
        QStringList texts;
        for (int c = 0; c < ChannelCount; ++c) texts << valueBoxes(c)->text();
        return texts;
    }
    // The channels whose option button is selected.
    std::vector<int> selectedChannels() {
        std::vector<int> selected;
        for (int c = 0; c < ChannelCount; ++c)
            if (channelButtons(c)->isChecked()) selected.push_back(c);
        return selected;
    }
    // The channels whose value box has the highlight background.
    std::vector<int> highlightedChannels() {
        std::vector<int> highlighted;
        for (int c = 0; c < ChannelCount; ++c)
            if (valueBoxes(c)->palette().color(QPalette::Base) == QColor(255, 255, 192))
                highlighted.push_back(c);
        return highlighted;
    }

    QTemporaryDir appDir_;
    std::unique_ptr<MainWindow> window_;
    std::vector<ShownMessage> messages_;
};

// The window, open from the start of each test.
class MainWindowTest : public WindowHarness {
protected:
    void SetUp() override { open(); }
};

}  // namespace orvalin::test
