// Log files in the real window: opened through the menu, Ctrl+O, the command line or a drop;
// files that cannot be opened; following a file while another program writes it.
#include <sys/stat.h>

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <span>

#include "export/csv_export.h"
#include "export/permission_bits.h"
#include "files/log_file.h"
#include "main_window_harness.h"
#include "shell/input_box.h"

namespace orvalin::test {
namespace {

QByteArray lines(int first, int count, const char* lineEnd = "\n") {
    QByteArray bytes;
    for (int r = first; r < first + count; ++r) bytes += logLine(r, r).toLatin1() + lineEnd;
    return bytes;
}

class LogFileTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(dir_.isValid());
    }
    QString path(const char* name = "pass.log") const { return dir_.filePath(name); }
    static void write(const QString& file, const QByteArray& bytes,
                      QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate) {
        QFile out(file);
        ASSERT_TRUE(out.open(mode)) << file.toStdString();
        ASSERT_EQ(out.write(bytes), bytes.size());
    }
    static void append(const QString& file, const QByteArray& bytes) {
        write(file, bytes, QIODevice::WriteOnly | QIODevice::Append);
    }
    void drop(QWidget* target, const QStringList& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : files) urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        sendDrop(target, data);
    }
    static void sendDrop(QWidget* target, const QMimeData& data, QPoint at = {5, 5}) {
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        settle();
    }
    QAction* action(const char* name) { return control<QAction>(QString::fromLatin1(name)); }
    // One look at the followed file, as the timer or the watcher would take.
    void check() {
        form().checkFollowedFile();
        settle();
    }
    // Types `text`, with Return for each line break.
    void typeLines(const QByteArray& text) {
        const QStringList lines = QString::fromUtf8(text).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0) key(Qt::Key_Return);
            typeText(lines[i]);
        }
    }
    QString lastLine() {
        QString text = logInput()->toPlainText();
        if (text.endsWith(u'\n')) text.chop(1);
        return text.section(u'\n', -1);
    }

    QTemporaryDir dir_;
};

// ---- Opening: every road puts the file's text into the input box in one change.

enum class Road { Menu, Shortcut, CommandLine, DropOnLogInput, DropOnWindow };

const QByteArray LongLine(InputLineLimit + 1, 'a');  // a receiver's hex dump, say

// A line longer than the box takes is no log line: it is skipped, and the status line says so.
TEST_F(LogFileTest, EveryRoadOpensTheFileInOneChange) {
    const struct {
        const char* name;
        Road road;
        const char* lineEnd;
    } cases[] = {
        {"menu, LF", Road::Menu, "\n"},
        {"Ctrl+O, CR LF", Road::Shortcut, "\r\n"},
        {"command line", Road::CommandLine, "\n"},
        {"dropped on the input box", Road::DropOnLogInput, "\r\n"},
        {"dropped on the window", Road::DropOnWindow, "\n"},
    };
    form().setFileChooser([this](QWidget*) { return path(); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        paste(QStringLiteral("typed before"));
        write(path(), "# receiver started\n" + LongLine + c.lineEnd + lines(10, 3, c.lineEnd));
        QSignalSpy changes(logInput(), &QPlainTextEdit::textChanged);
        switch (c.road) {
            case Road::Menu:
                action("MnuOpenLog")->trigger();
                break;
            case Road::Shortcut:
                form().activateWindow();
                QTest::keyClick(logInput(), Qt::Key_O, Qt::ControlModifier);
                break;
            case Road::CommandLine: {
                const WindowCommandLine commandLine =
                    parseWindowCommandLine({QStringLiteral("orvalin-decoder"), path()});
                ASSERT_EQ(commandLine.action, WindowCommandLine::Action::Run);
                form().applyCommandLine(commandLine.options);
                break;
            }
            case Road::DropOnLogInput:
                drop(logInput()->viewport(), {path()});
                break;
            case Road::DropOnWindow:
                drop(&form(), {path()});
                break;
        }
        settle();
        EXPECT_EQ(changes.count(), 1);
        EXPECT_EQ(logInput()->toPlainText(),
                  "# receiver started\n" + QString::fromLatin1(lines(10, 3)));
        EXPECT_EQ(form().records().count(), 3);
        EXPECT_EQ(form().records().record(3).TimeText.toString(), timeText(12));
        EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:10");
        EXPECT_FALSE(form().isFollowing());
        EXPECT_TRUE(messages_.empty());
        EXPECT_EQ(form().statusLine()->text(), "A line longer than 65,536 characters was skipped.");
    }
}

TEST_F(LogFileTest, MenuHoldsOpenAndFollowAboveExit) {
    auto* file = control<QMenu>(QStringLiteral("MnuFile"));
    QStringList names;
    for (QAction* entry : file->actions())
        if (!entry->isSeparator()) names << entry->objectName();
    EXPECT_EQ(names, QStringList({"MnuOpenLog", "MnuFollowLog", "MnuExit"}));
    EXPECT_EQ(action("MnuOpenLog")->text(), "Open Log File...");
    EXPECT_EQ(action("MnuOpenLog")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(action("MnuFollowLog")->text(), "Follow Log File");
    EXPECT_TRUE(action("MnuFollowLog")->isCheckable());
}

TEST_F(LogFileTest, SeveralDroppedFilesAreJoinedInTheOrderGiven) {
    write(path("a.log"), lines(1, 2));
    write(path("b.log"), lines(3, 1, ""));  // no line end at the end
    write(path("c.log"), lines(4, 1));
    drop(logInput()->viewport(), {path("a.log"), path("b.log"), path("c.log")});
    ASSERT_EQ(form().records().count(), 4);
    for (int r = 1; r <= 4; ++r)
        EXPECT_EQ(form().records().record(r).TimeText.toString(), timeText(r));
}

TEST_F(LogFileTest, DroppedTextIsStillInsertedWhereItIsDropped) {
    QMimeData data;
    data.setText(WorkedExampleLine);
    sendDrop(logInput()->viewport(), data);
    EXPECT_EQ(logInput()->toPlainText(), WorkedExampleLine);
    EXPECT_EQ(form().records().count(), 1);
}

TEST_F(LogFileTest, UndoBringsBackTheTextBeforeTheOpen) {
    paste(logLine(40, 4));
    write(path(), lines(1, 5));
    ASSERT_TRUE(form().openLogFile(path()));
    ASSERT_EQ(form().records().count(), 5);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(logInput()->toPlainText(), logLine(40, 4));
    EXPECT_EQ(form().records().count(), 1);
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form().records().count(), 5);
}

// The CSV file is the same whether the text came from a file or from the clipboard, with
// other lines, non-ASCII text and an invalid UTF-8 byte among the log lines.
TEST_F(LogFileTest, CsvAfterOpeningIsTheCsvAfterPastingTheSameText) {
    const QByteArray bytes = "# caf\xC3\xA9 \xFF start\r\n" + lines(1, 4, "\r\n") + "noise\n" +
                             lines(5, 3) + logLine(9, 0xAB).toUpper().toLatin1();
    write(path(), bytes);
    QByteArray csv[2];
    for (int pasted = 0; pasted < 2; ++pasted) {
        QTemporaryDir appDir;
        MainWindow window(appDir.path());
        window.show();
        auto* box = window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
        if (pasted) {
            QApplication::clipboard()->setText(QString::fromUtf8(bytes));
            box->setFocus();
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            ASSERT_TRUE(window.openLogFile(path()));
        }
        settle();
        EXPECT_EQ(window.records().count(), 8);
        window.findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger();
        QFile file(appDir.filePath(QStringLiteral("pellam_telemetry.csv")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        csv[pasted] = file.readAll();
    }
    EXPECT_FALSE(csv[0].isEmpty());
    EXPECT_EQ(csv[0], csv[1]);
}

// ---- Files that cannot be opened: one clear message, and the window as it was.

TEST_F(LogFileTest, BadFileGivesAMessageAndChangesNothing) {
    const struct {
        const char* name;
        void (*make)(const QString& path);
        const char* says;
    } cases[] = {
        {"missing", [](const QString&) {}, "does not exist"},
        {"unreadable",
         [](const QString& p) {
             write(p, lines(1, 2));
             QFile::setPermissions(p, {});
         },
         "cannot be read: Permission denied"},
        {"directory", [](const QString& p) { QDir().mkdir(p); }, "is a folder"},
        {"too large",
         [](const QString& p) {
             write(p, lines(1, 2));
             QFile(p).resize(LogFileSizeLimit + 1);
         },
         "Decode it with the batch decoder orvalin-decode"},
        {"not text",
         [](const QString& p) { write(p, lines(1, 2) + QByteArray("\x89PNG\0\0\0", 7)); },
         "is not a text file"},
        {"pipe", [](const QString& p) { ::mkfifo(QFile::encodeName(p).constData(), 0600); },
         "not a log file"},
    };
    paste(logText(2));
    form().setFileChooser([this](QWidget*) { return path("bad.log"); });
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString bad = path("bad.log");
        QFile::remove(bad);
        QDir(bad).removeRecursively();
        c.make(bad);
        messages_.clear();
        const PermissionBitsEnforced asAUser;
        // The menu once, then a drop of a good file with the bad one.
        if (n++ % 2 == 0) {
            action("MnuOpenLog")->trigger();
        } else {
            write(path(), lines(20, 3));
            drop(&form(), {path(), bad});
        }
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
        EXPECT_EQ(messages_[0].title, "Open Log File");
        EXPECT_TRUE(messages_[0].text.contains(bad)) << messages_[0].text.toStdString();
        EXPECT_TRUE(messages_[0].text.contains(QString::fromLatin1(c.says)))
            << messages_[0].text.toStdString();
        EXPECT_EQ(logInput()->toPlainText(), logText(2, "\n"));
        EXPECT_EQ(form().records().count(), 2);
    }
}

// ---- Following.

// Type moves the cursor to the end first, TypeHere types where it stands, SelectBack selects
// as many characters before it as `bytes` has, Tick triggers "Follow Log File".
enum class Step { Append, Replace, Open, Remove, Type, TypeHere, SelectBack, Fifo, Tick };

struct FollowStep {
    Step step;
    QByteArray bytes = {};
    int records = 0;                 // after the step
    const char* lastLine = nullptr;  // of the input box after the step; nullptr: not checked
    int standOn = 0;    // the record the navigator is set to before the step; 0: as it is
    int shownLine = 0;  // the lines(n, ...) line whose record it shows after; 0: not checked
    const char* status = nullptr;  // the status line after the step; nullptr: not checked
};

// Accessibility events that reach the handler of the desktop's bridge.
std::vector<QObject*> announced;
void recordAnnouncement(QAccessibleEvent* event) {
    announced.push_back(event->object());
}

// A file of lines(1, 3) is opened and followed; the user charts `channel`, then each step. A
// screen reader hears nothing of the navigator's moves that the file's changes make.
TEST_F(LogFileTest, FollowedFileChanges) {
    const QByteArray partial = logLine(4, 4).toLatin1();
    const QByteArray typed = logLine(50, 50).toLatin1();
    const QByteArray typedStart = typed.left(40);
    const QByteArray typedTooLong = typed + "zz";
    const char* gone =
        "Following pass.log: the log is gone; it is read again from its start when it comes back.";
    const struct {
        const char* name;
        std::vector<FollowStep> steps;
        const char* status;  // the status line at the end
        bool following;      // at the end
        int channel = DefaultChannel;
    } cases[] = {
        {"a line finished later, split inside a character",
         {{Step::Append, partial.left(30), 3, nullptr},
          {Step::Append, partial.mid(30) + "\n# caf\xC3", 4, nullptr},
          {Step::Append, "\xA9\n", 4, "# café"}},
         "",
         true},
        {"a line typed while lines arrive stays whole, with the user's cursor and selection",
         {{Step::Type, typedStart, 3, typedStart.constData()},
          {Step::Append, lines(4, 2), 5, typedStart.constData()},
          {Step::TypeHere, typed.mid(40) + "zz", 5, typedTooLong.constData()},
          {Step::SelectBack, "zz", 5, typedTooLong.constData()},
          {Step::Append, lines(6, 2), 7, typedTooLong.constData()},
          {Step::TypeHere, "\n", 8, typed.constData()}},
         "",
         true},
        {"past the table from the last record: the newest records, the user's channel",
         {{Step::Append, lines(4, 1000), 1000, nullptr, 3, 1003},
          {Step::Append, lines(1004, 1), 1000, nullptr, 0, 1004}},
         "Following pass.log: the newest 1000 log lines are kept; 4 older lines have left the "
         "box.",
         true,
         10},
        {"past the table from an earlier record: it stays, then the oldest kept",
         {{Step::Append, lines(4, 997), 1000, nullptr, 2, 2},
          {Step::Append, lines(1001, 1), 1000, nullptr, 0, 2},
          {Step::Append, "# x\n" + lines(1002, 1), 1000, nullptr, 0, 3},
          {Step::Type, logLine(1003, 1003).toLatin1(), 1000, nullptr, 0, 3},
          {Step::Append, lines(1004, 2), 1000, nullptr, 0, 6}},
         "Following pass.log: the newest 1000 log lines are kept; 5 older lines have left the "
         "box.",
         true},
        {"replaced by a longer log",
         {{Step::Replace, lines(50, 1002), 1000, nullptr, 2, 52}},
         "Following pass.log: the log was read again from its start; the newest 1000 log lines "
         "are kept; 2 older lines have left the box.",
         true},
        {"replaced: the typed lines stay, a line being typed last",
         {{Step::Type, logLine(70, 70).toLatin1() + "\n", 4, nullptr},
          {Step::Append, lines(4, 1), 5, nullptr},
          {Step::Type, "# typing", 5, "# typing"},
          {Step::Replace, lines(50, 2), 3, "# typing", 0, 70}},
         "Following pass.log: the log was read again from its start.",
         true},
        {"opened again while following: its newest lines, a long line skipped",
         {{Step::Open, LongLine + "\n" + lines(1, 1005), 1000, nullptr}},
         "Following pass.log: a line longer than 65,536 characters was skipped; the newest 1000 "
         "log lines are kept; 5 older lines have left the box.",
         true},
        {"removed, then made again: watched for, then read from its start",
         {{.step = Step::Remove, .records = 3, .status = gone},
          {.step = Step::Replace, .bytes = lines(7, 2), .records = 2}},
         "Following pass.log: the log was read again from its start.",
         true},
        {"replaced by a named pipe: stopped; ticked again while it is gone: watched for",
         {{.step = Step::Fifo,
           .records = 3,
           .status = "Follow stopped: pass.log is a device, pipe or socket, not a log file."},
          {.step = Step::Remove, .records = 3},
          {.step = Step::Tick, .records = 3, .status = gone},
          {.step = Step::Replace, .bytes = lines(30, 1), .records = 1}},
         "Following pass.log: the log was read again from its start.",
         true},
        {"lines longer than the box takes are skipped, whole or in pieces",
         {{Step::Append, LongLine + "\n" + lines(4, 1), 4, nullptr},
          {Step::Append, LongLine, 4, nullptr},
          {Step::Append, "aa\n" + lines(5, 1), 5, nullptr}},
         "Following pass.log: 2 lines longer than 65,536 characters were skipped.",
         true},
        {"opened unfollowed with a long unfinished last line, then followed: skipped once",
         {{.step = Step::Tick, .records = 3},
          {.step = Step::Open, .bytes = lines(1, 1) + LongLine, .records = 1},
          {.step = Step::Tick, .records = 1},
          {.step = Step::Append, .bytes = "a\n" + lines(2, 1), .records = 2}},
         "Following pass.log: a line longer than 65,536 characters was skipped.",
         true},
    };
    // Qt sends events only while a screen reader listens, which no test platform has: each
    // move of the navigator hands its value change to the handler in place at that moment.
    QAccessible::installUpdateHandler(recordAnnouncement);
    const auto probe = QObject::connect(recordNavigator(), &QScrollBar::valueChanged, [this] {
        const QAccessible::UpdateHandler handler = QAccessible::installUpdateHandler(nullptr);
        QAccessible::installUpdateHandler(handler);
        QAccessibleValueChangeEvent moved(recordNavigator(), recordNavigator()->value());
        handler(&moved);
        QAccessibleEvent marked(chartPlot(), QAccessible::DescriptionChanged);
        handler(&marked);
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form().statusLine()->clear();
        QFile::remove(path());  // a named pipe left by a case before
        write(path(), lines(1, 3));
        form().setFollowing(true);
        ASSERT_TRUE(form().openLogFile(path()));
        channelButtons(c.channel)->click();
        for (const FollowStep& s : c.steps) {
            if (s.standOn > 0) recordNavigator()->setValue(s.standOn);
            switch (s.step) {
                case Step::Append:
                    append(path(), s.bytes);
                    break;
                case Step::Replace:
                    write(path("pass.new"), s.bytes);
                    QFile::remove(path());
                    QFile::rename(path("pass.new"), path());
                    break;
                case Step::Open:
                    write(path(), s.bytes);
                    ASSERT_TRUE(form().openLogFile(path()));
                    break;
                case Step::Remove:
                    QFile::remove(path());
                    check();  // a rotated log may be missing for a moment
                    EXPECT_NE(form().statusLine()->text(), gone);
                    break;
                case Step::Type:
                    logInput()->moveCursor(QTextCursor::End);
                    typeLines(s.bytes);
                    break;
                case Step::TypeHere:
                    typeLines(s.bytes);
                    break;
                case Step::SelectBack:
                    for (qsizetype i = 0; i < s.bytes.size(); ++i)
                        key(Qt::Key_Left, Qt::ShiftModifier);
                    break;
                case Step::Tick:
                    action("MnuFollowLog")->trigger();
                    break;
                case Step::Fifo:
                    QFile::remove(path());
                    ASSERT_EQ(mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
                    break;
            }
            announced.clear();
            check();
            EXPECT_TRUE(announced.empty());
            EXPECT_EQ(form().records().count(), s.records);
            if (s.lastLine) {
                EXPECT_EQ(lastLine(), QString::fromUtf8(s.lastLine));
            }
            if (s.shownLine > 0) {
                EXPECT_EQ(label("Label4")->text(), "06.12.2026 " + timeText(s.shownLine));
            }
            if (s.status) {
                EXPECT_EQ(form().statusLine()->text(), QString::fromLatin1(s.status));
            }
            // Updates leave no undo steps behind: they would point at text gone from the top.
            if (s.shownLine > 0 && s.step != Step::Type) {
                EXPECT_EQ(logInput()->document()->availableUndoSteps(), 0);
            }
        }
        EXPECT_EQ(form().statusLine()->text(), QString::fromLatin1(c.status));
        EXPECT_EQ(form().isFollowing(), c.following);
        EXPECT_EQ(action("MnuFollowLog")->isChecked(), c.following);
        EXPECT_EQ(selectedChannels(), std::vector<int>{c.channel});
        EXPECT_TRUE(messages_.empty());
        form().setFollowing(false);
    }
    announced.clear();
    recordNavigator()->setValue(recordNavigator()->value() == 1 ? 2 : 1);  // the user's step
    EXPECT_EQ(announced, (std::vector<QObject*>{recordNavigator(), chartPlot()}));
    QObject::disconnect(probe);
    QAccessible::installUpdateHandler(nullptr);
}

// The window following a file and the batch decoder reading it afterwards give the same CSV,
// whatever breaks end the lines and wherever a check falls.
TEST_F(LogFileTest, FollowingWindowAndBatchDecoderGiveOneCsv) {
    const QByteArray crLf = lines(3, 1, "\r\n");
    const QByteArray pieces[] = {
        "\xEF\xBB\xBF" + lines(1, 1, "\r"),            // opened: a byte-order mark, a lone CR
        lines(2, 1, "\r"),                             // a lone CR ends what was read
        crLf.left(crLf.size() - 1),                    // a CR LF split across two checks
        "\n" + lines(4, 1, "\xE2\x80\xA8") + "# x\r",  // U+2028, a comment line
        lines(5, 1, "\r\n") + logLine(6, 6).toLatin1() + "\r",
    };
    write(path(), pieces[0]);
    form().setFollowing(true);
    ASSERT_TRUE(form().openLogFile(path()));
    for (const QByteArray& piece : std::span(pieces).subspan(1)) {
        append(path(), piece);
        check();
    }
    EXPECT_EQ(form().records().count(), 6);
    EXPECT_FALSE(logInput()->toPlainText().contains(QStringLiteral("\n\n")));

    QProcess batch;
    batch.start(QStringLiteral(ORVALIN_DECODE_PROGRAM), {path()});
    ASSERT_TRUE(batch.waitForFinished(10000));
    EXPECT_EQ(batch.exitCode(), 0);
    EXPECT_EQ(batch.readAllStandardOutput(), csvFileBytes(form().records(), u'.'));
    form().setFollowing(false);
}

// Ctrl+Z takes back the user's own edits made since the last follow update, and no more.
TEST_F(LogFileTest, UndoTakesBackOnlyTheEditsSinceTheLastUpdate) {
    write(path(), lines(1, 1000));
    form().setFollowing(true);
    ASSERT_TRUE(form().openLogFile(path()));
    append(path(), lines(1001, 2));
    check();  // two older lines leave the top
    const QString followed = logInput()->toPlainText();
    logInput()->moveCursor(QTextCursor::End);
    paste(QStringLiteral("# mine"), false);
    ASSERT_NE(logInput()->toPlainText(), followed);
    for (int i = 0; i < 2; ++i) {
        key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(logInput()->toPlainText(), followed);
    }
    EXPECT_EQ(form().records().record(1).TimeText.toString(), timeText(3));
    form().setFollowing(false);
}

// The command line with --follow holds back a line being written and follows the file; the
// timer and the watcher bring the lines in with nobody calling.
TEST_F(LogFileTest, CommandLineFollowBringsLinesInByItself) {
    write(path(), lines(1, 1) + logLine(2, 2).toLatin1().left(20));
    const WindowCommandLine commandLine = parseWindowCommandLine(
        {QStringLiteral("orvalin-decoder"), QStringLiteral("--follow"), path()});
    ASSERT_EQ(commandLine.action, WindowCommandLine::Action::Run);
    form().applyCommandLine(commandLine.options);
    EXPECT_TRUE(form().isFollowing());
    EXPECT_EQ(logInput()->toPlainText(), QString::fromLatin1(lines(1, 1)));
    append(path(), logLine(2, 2).toLatin1().mid(20) + "\n");
    for (int waited = 0; form().records().count() < 2 && waited < 5000; waited += 50)
        QTest::qWait(50);
    EXPECT_EQ(form().records().count(), 2);
    EXPECT_EQ(recordNavigator()->value(), 2);
}

// Following turned on after a file was opened whole: its unfinished last line, already shown,
// is completed in place and not repeated.
TEST_F(LogFileTest, ShownUnfinishedLineIsCompletedInPlace) {
    const QByteArray third = logLine(3, 3).toLatin1();
    write(path(), lines(1, 2) + third.left(50));
    ASSERT_TRUE(form().openLogFile(path()));
    EXPECT_EQ(form().records().count(), 2);
    form().setFollowing(true);
    append(path(), third.mid(50) + "\n");
    check();
    EXPECT_EQ(logInput()->toPlainText(), QString::fromLatin1(lines(1, 3)));
    EXPECT_EQ(form().records().count(), 3);
}

}  // namespace
}  // namespace orvalin::test
