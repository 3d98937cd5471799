// Hostile pastes into the real main window (offscreen): each text is put on the clipboard and
// pasted with Ctrl+V into the emptied input box, or set as the box's text by the program (which
// the paste check does not see: this measures what a line of a given length costs), then one
// character is typed at its end and taken back with Backspace (the first keystroke after a
// paste may meet memory that the second finds ready). Prints, per paste and per keystroke, the
// handler time (onLogTextChanged) and the whole event: the key event with the text box's own edit
// and layout, then the repaint of the window in the next turns of the event loop.
//
//   hostile_paste_bench [repetitions [case]]   (default 3 repetitions; case: a word of its name)
#include <sys/resource.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "log_text.h"
#include "shell/input_box.h"
#include "shell/main_window.h"
#include "shell/memory_tuning.h"

namespace {

// One line of hexadecimal digits without a break anywhere.
QString oneLongLine(qsizetype characters) {
    QString text = QStringLiteral("0123456789abcdef").repeated(characters / 16 + 1);
    text.truncate(characters);
    return text;
}

// Valid lines between lines of NUL characters, lone surrogates, right-to-left marks and
// combining characters; some of these characters sit inside valid lines' date fields.
QString awkwardCharacters(int count) {
    const QString awkward[] = {
        QString(40, QChar(u'\0')),
        QString(20, QChar(0xD800)) + QString(20, QChar(0xDC00)),
        QString(20, QChar(0x200F)) + QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u0627\u0644"),
        QStringLiteral("e\u0301\u0302\u0303\u0304\u0305\u0306\u0307").repeated(8),
    };
    QString text;
    for (int i = 0; i < count; ++i) {
        QString line = orvalin::bench::logLine(i);
        const char16_t odd[] = {0x0301, 0x200F, 0x0000, 0xD800};
        line[1 + i % 8] = QChar(odd[i % 4]);
        text += line + QStringLiteral("\r\n") + awkward[i % 4] + QStringLiteral("\r\n");
    }
    return text;
}

struct Figures {
    std::vector<double> handlerMs, eventMs, repaintMs;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

class Bench {
public:
    Bench() {
        window_.show();
        logInput_ = window_.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
        clock_.start();

        // The handler alone: the window's own connection is replaced by one that times it.
        QObject::disconnect(logInput_, &QPlainTextEdit::textChanged, &window_,
                            &orvalin::MainWindow::onLogTextChanged);
        QObject::connect(logInput_, &QPlainTextEdit::textChanged, &window_, [this] {
            const qint64 start = clock_.nsecsElapsed();
            window_.onLogTextChanged();
            lastHandlerMs_ = static_cast<double>(clock_.nsecsElapsed() - start) / 1e6;
        });
        // A refused paste is counted, not shown in a box that waits for a click.
        window_.setMessagePresenter(
            [this](QMessageBox::Icon, const QString&, const QString&) { ++messages_; });
    }
    bool shown() { return QTest::qWaitForWindowExposed(&window_); }
    const orvalin::MainWindow& window() const { return window_; }
    int messages() const { return messages_; }
    qsizetype textSize() const { return logInput_->document()->characterCount() - 1; }

    // Runs one user action and measures it: the handler, the action's event and the repaint
    // that follows in the event loop.
    void measure(const std::function<void()>& action, Figures& figures) {
        lastHandlerMs_ = -1.0;
        const qint64 t0 = clock_.nsecsElapsed();
        action();
        const qint64 t1 = clock_.nsecsElapsed();
        settle();
        const qint64 t2 = clock_.nsecsElapsed();
        figures.handlerMs.push_back(lastHandlerMs_);
        figures.eventMs.push_back(static_cast<double>(t1 - t0) / 1e6);
        figures.repaintMs.push_back(static_cast<double>(t2 - t1) / 1e6);
    }

    void empty() {
        logInput_->clear();
        settle();
    }
    void paste(const QString& text) {
        logInput_->setFocus();
        QApplication::clipboard()->setText(text);
        measure([this] { QTest::keyClick(logInput_, Qt::Key_V, Qt::ControlModifier); }, paste_);
    }
    void load(const QString& text) {
        logInput_->setFocus();
        measure([&] { logInput_->setPlainText(text); }, paste_);
    }
    void typeAtEnd() {
        logInput_->moveCursor(QTextCursor::End);
        measure([this] { QTest::keyClick(logInput_, Qt::Key_X); }, typed_);
        measure([this] { QTest::keyClick(logInput_, Qt::Key_Backspace); }, erased_);
    }

    void report(const char* name) {
        std::printf("%s\n", name);
        line("  paste", paste_);
        line("  1st keystroke: a character", typed_);
        line("  2nd keystroke: Backspace", erased_);
        paste_ = typed_ = erased_ = Figures();
    }

private:
    // The queued chart redraw and the window's repaint.
    void settle() {
        window_.repaint();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    static void line(const char* what, const Figures& f) {
        std::vector<double> total;
        for (std::size_t i = 0; i < f.eventMs.size(); ++i)
            total.push_back(f.eventMs[i] + f.repaintMs[i]);
        std::printf(
            "%-30s handler %8.1f ms   key event %8.1f ms   repaint %8.1f ms   in all %8.1f ms "
            "(max %8.1f)\n",
            what, median(f.handlerMs), median(f.eventMs), median(f.repaintMs), median(total),
            maximum(total));
    }

    orvalin::MainWindow window_;
    QPlainTextEdit* logInput_ = nullptr;
    QElapsedTimer clock_;
    double lastHandlerMs_ = 0.0;
    int messages_ = 0;
    Figures paste_, typed_, erased_;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    orvalin::keepLargeTextBuffersInHeap();  // as the program does at start
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    constexpr qsizetype KiB = 1024;
    const struct {
        const char* name;
        QString text;
        int records;
        bool pasted;   // false: set by the program, past the paste check
        bool refused;  // the paste is not taken: the box stays empty and a message says why
    } cases[] = {
        {"1001 valid log lines", orvalin::bench::logText(1001), 1000, true, false},
        {"100,000 log lines (8.3 MB)", orvalin::bench::logText(100000), 1000, true, false},
        {"one line of 64 KiB, set", oneLongLine(64 * KiB), 0, false, false},
        {"one line of 128 KiB, set", oneLongLine(128 * KiB), 0, false, false},
        {"one line of 256 KiB, set", oneLongLine(256 * KiB), 0, false, false},
        {"one line of 512 KiB, set", oneLongLine(512 * KiB), 0, false, false},
        {"one line of 1 MiB, set", oneLongLine(1024 * KiB), 0, false, false},
        {"one line at the paste limit, pasted", oneLongLine(orvalin::InputLineLimit), 0, true,
         false},
        {"one line of 20 MB, pasted and refused", oneLongLine(20 * 1000 * 1000), 0, true, true},
        {"10,000 lines of NUL, lone surrogates, RTL marks, combining marks",
         awkwardCharacters(5000), 1000, true, false},
    };

    Bench bench;
    if (!bench.shown()) {
        std::fprintf(stderr, "hostile_paste_bench: the window was not shown\n");
        return 1;
    }
    std::printf(
        "hostile_paste_bench: medians of %d repetitions, offscreen; targets: handler under "
        "200 ms for a paste, under 50 ms for a keystroke\n",
        repetitions);
    for (const auto& c : cases) {
        if (!QString::fromLatin1(c.name).contains(only)) continue;
        for (int r = 0; r < repetitions; ++r) {
            bench.empty();
            const int messages = bench.messages();
            if (c.pasted) {
                bench.paste(c.text);
            } else {
                bench.load(c.text);
            }
            if (bench.window().records().count() != c.records) {
                std::fprintf(stderr, "hostile_paste_bench: %s gave %d records, not %d\n", c.name,
                             bench.window().records().count(), c.records);
                return 1;
            }
            if ((bench.messages() > messages) != c.refused ||
                (bench.textSize() == 0) != c.refused) {
                std::fprintf(stderr, "hostile_paste_bench: %s was %s\n", c.name,
                             c.refused ? "taken" : "refused");
                return 1;
            }
            bench.typeAtEnd();
        }
        bench.report(c.name);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory (ru_maxrss): %.1f MiB\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
