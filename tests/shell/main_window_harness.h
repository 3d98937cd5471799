// Drives the real main window offscreen: controls are found by object name, text is typed and
// pasted with key events, buttons and arrows are clicked with the mouse.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>
#include <QTest>
#include <memory>

#include "decoder/channels.h"
#include "shell/main_window.h"
#include "views/bar_chart.h"

namespace orvalin::test {

// Frame byte k holds the value k: channel c reads c + 3.
inline const QString WorkedExampleLine = QStringLiteral(
    "!06122026@123456;000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");

// A log line received `second` seconds after 00:00:00 whose frame bytes all hold `byte`.
inline QString logLine(int second, int byte) {
    const QString time = QStringLiteral("%1%2%3")
                             .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
                             .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(second % 60, 2, 10, QLatin1Char('0'));
    const QString hex = QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0'));
    return QStringLiteral("!06122026@") + time + u';' + hex.repeated(32);
}

// "HH:MM:SS" of logLine(second, ...).
inline QString timeText(int second) {
    return QStringLiteral("%1:%2:%3")
        .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'));
}

// `count` log lines, record r (from 1) received at second r - 1 with all bytes r % 256,
// joined with `lineEnd`.
inline QString logText(int count, const QString& lineEnd = QStringLiteral("\r\n")) {
    QStringList lines;
    for (int r = 1; r <= count; ++r) lines << logLine(r - 1, r % 256);
    return lines.join(lineEnd);
}

// A message box the window asked for, recorded instead of shown (Form1::setMessagePresenter).
struct ShownMessage {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<Form1>();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void TearDown() override {
        window_.reset();
        QApplication::clipboard()->clear();
    }

    Form1& form() { return *window_; }

    template <typename T = QWidget>
    T* control(const QString& name) {
        T* widget = window_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QPlainTextEdit* text2() { return control<QPlainTextEdit>(QStringLiteral("Text2")); }
    QLineEdit* text1(int channel) { return control<QLineEdit>(indexed("Text1", channel)); }
    QRadioButton* option1(int channel) {
        return control<QRadioButton>(indexed("Option1", channel));
    }
    QLabel* label(const char* name) { return control<QLabel>(QString::fromLatin1(name)); }
    QScrollBar* hScroll1() { return control<QScrollBar>(QStringLiteral("HScroll1")); }
    QGroupBox* frame8() { return control<QGroupBox>(QStringLiteral("Frame8")); }
    QWidget* chartPlot() { return control(QStringLiteral("MSChart1")); }

    static QString indexed(const char* base, int index) {
        return QString::fromLatin1(base) + u'(' + QString::number(index) + u')';
    }

    // Pastes with Ctrl+V at the cursor of Text2; `replaceAll` selects the whole text first.
    void paste(const QString& text, bool replaceAll = true) {
        QApplication::clipboard()->setText(text);
        text2()->setFocus();
        if (replaceAll) QTest::keyClick(text2(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(text2(), Qt::Key_V, Qt::ControlModifier);
        settle();
    }
    void typeText(const QString& text) {
        text2()->setFocus();
        QTest::keyClicks(text2(), text);
        settle();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        text2()->setFocus();
        QTest::keyClick(text2(), key, modifiers);
        settle();
    }
    // Lets the queued chart redraw and the repaints run.
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    // The 29 value boxes as shown.
    QStringList valueTexts() {
        QStringList texts;
        for (int c = 0; c < ChannelCount; ++c) texts << text1(c)->text();
        return texts;
    }
    // The channels whose option button is selected.
    std::vector<int> selectedChannels() {
        std::vector<int> selected;
        for (int c = 0; c < ChannelCount; ++c)
            if (option1(c)->isChecked()) selected.push_back(c);
        return selected;
    }
    // The channels whose value box has the highlight background.
    std::vector<int> highlightedChannels() {
        std::vector<int> highlighted;
        for (int c = 0; c < ChannelCount; ++c)
            if (text1(c)->palette().color(QPalette::Base) == QColor(255, 255, 192))
                highlighted.push_back(c);
        return highlighted;
    }

private:
    std::unique_ptr<Form1> window_;
};

}  // namespace orvalin::test
