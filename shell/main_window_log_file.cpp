// Log files in the main window: "Open Log File...", files dropped on the window, the command
// line, and following a file that grows. Every road ends in a change of the input box, so
// intake (onLogTextChanged) decodes a file exactly as it decodes a paste.
#include <QAction>
#include <QButtonGroup>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "decoder/channels.h"
#include "decoder/log_scan.h"
#include "decoder/log_text.h"
#include "files/failure.h"
#include "files/log_file.h"
#include "shell/accessibility.h"
#include "shell/input_box.h"
#include "shell/main_window.h"
#include "views/channel_selection.h"

namespace orvalin {

namespace {

// The most text a followed log keeps in the input box, in characters, whatever lies between
// its log lines: the box and its intake stay quick and small.
constexpr qsizetype FollowedTextLimit = 4 * 1024 * 1024;

// The part of a followed log's text that the input box keeps: its newest lines.
NewestLines newestFollowedLines(QStringView text) {
    return newestLines(text, RecordTable::Capacity, FollowedTextLimit);
}

constexpr char FileDialogFilter[] = "Log and text files (*.log *.txt);;All files (*)";

// The message box for a file that cannot be opened, and the file dialog.
constexpr char OpenLogFileTitle[] = "Open Log File";

// What a log file's failure to open or follow means, in a sentence; `fileNameOnly` leaves the
// folders out of the file's name, for the status line.
QString logFileFailureText(const QString& path, const Failure& failure, bool fileNameOnly) {
    const QString name = fileNameOnly ? QFileInfo(path).fileName() : path;
    switch (failure.kind) {
        case FailureKind::Missing:
            return QStringLiteral("The file %1 does not exist.").arg(name);
        case FailureKind::Folder:
            return QStringLiteral("%1 is a folder, not a log file.").arg(name);
        case FailureKind::NotAFile:
            return QStringLiteral("%1 is a device, pipe or socket, not a log file.").arg(name);
        case FailureKind::TooLarge:
            return QStringLiteral(
                       "The file %1 is larger than the %2 MB that the window takes. "
                       "Decode it with the batch decoder orvalin-decode.")
                .arg(name)
                .arg(LogFileSizeLimit / (1024 * 1024));
        case FailureKind::NotText:
            return QStringLiteral("The file %1 is not a text file, so it holds no log lines.")
                .arg(name);
        default:
            return QStringLiteral("The file %1 cannot be read: %2.").arg(name, failure.text);
    }
}

// A log file's text as the input box takes it.
struct LogFileText {
    QString path;
    QString text;            // its lines; the unfinished last one too, unless held back
    QString unfinishedLine;  // the line after the last break, as text
    qint64 lineStart = 0;    // where that line starts in the file
};

// The local files among dropped data, in the order given; empty for anything else.
QStringList droppedFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

}  // namespace

void MainWindow::setUpLogFiles() {
    connect(menu_.openLogFile, &QAction::triggered, this, &MainWindow::onOpenLogFile);
    connect(menu_.followLogFile, &QAction::toggled, this, &MainWindow::onFollowLogToggled);

    chooseFile_ = [this](QWidget* parent) {
        const QString folder = logFile_ ? QFileInfo(logFilePath_).absolutePath() : QString();
        return QFileDialog::getOpenFileName(parent, QString::fromLatin1(OpenLogFileTitle), folder,
                                            QString::fromLatin1(FileDialogFilter));
    };

    fileWatcher_ = new QFileSystemWatcher(this);
    connect(fileWatcher_, &QFileSystemWatcher::fileChanged, this,
            [this] { checkFollowedFile(false); });
    followTimer_ = new QTimer(this);
    followTimer_->setInterval(FollowPollInterval);
    connect(followTimer_, &QTimer::timeout, this, [this] { checkFollowedFile(); });

    // Files may be dropped anywhere: on the window, and on the boxes that take dropped text.
    setAcceptDrops(true);
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        if (child->acceptDrops()) child->installEventFilter(this);
}

void MainWindow::onOpenLogFile() {
    const QString path = chooseFile_(this);
    if (!path.isEmpty()) openLogFile(path);
}

bool MainWindow::openLogFiles(const QStringList& paths) {
    if (paths.isEmpty()) return false;
    // Every file is read and checked before the input box changes, so a bad one changes nothing.
    std::vector<LogFileText> reads;
    // A followed file may be mid-line: that line waits for its line end.
    const bool holdUnfinishedLine = isFollowing();
    for (const QString& path : paths) {
        const Result<LogFileBytes> file = readLogFile(path);
        if (!file) {
            showMessage_(QMessageBox::Warning, QString::fromLatin1(OpenLogFileTitle),
                         logFileFailureText(path, file.failure(), false));
            return false;
        }
        LogFileText& read = reads.emplace_back();
        read.path = path;
        read.unfinishedLine = textOfUtf8(file->unfinishedLine.data(), file->unfinishedLine.size());
        read.lineStart = file->lineStart;
        read.text = textOfUtf8(file->lines.data(), file->lines.size());
        if (!(holdUnfinishedLine && path == paths.back())) read.text += read.unfinishedLine;
        // A line the box would lay out again at every keystroke is refused as for a paste.
        if (const qsizetype longest = longestLineLength(read.text); longest > InputLineLimit) {
            showMessage_(QMessageBox::Warning, QString::fromLatin1(OpenLogFileTitle),
                         path + QStringLiteral("\n\n") + overlongLineText(longest));
            return false;
        }
    }
    QString text;
    for (const LogFileText& read : reads) {
        if (!text.isEmpty() && !text.endsWith(u'\n')) text += u'\n';
        text += read.text;
    }
    // Every line is kept and shared, also those the box will not keep.
    keepIntake(text);
    // A followed file shows its newest lines, as every follow update keeps them.
    followedLinesLeft_ = 0;
    if (holdUnfinishedLine) {
        const NewestLines newest = newestFollowedLines(text);
        text.remove(0, newest.start);
        followedLinesLeft_ = newest.linesBefore;
    }
    // Followed from the start of its unfinished last line, which the box shows or not.
    const LogFileText& last = reads.back();
    logFilePath_ = last.path;
    logFile_ =
        std::make_unique<LogFollower>(QFile::encodeName(last.path).toStdString(), InputLineLimit);
    (void)logFile_->start(last.lineStart);
    shownUnfinishedLine_ = holdUnfinishedLine ? QString() : last.unfinishedLine;
    // A log of megabytes takes seconds to lay out and decode.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    replaceLogInput(text);
    QGuiApplication::restoreOverrideCursor();
    showFollowNotice();
    if (isFollowing()) watchFollowedFile();
    return true;
}

void MainWindow::replaceLogInput(const QString& text) {
    // One edit block: one change (one intake) and one undo step.
    QTextCursor cursor(controls_.logInput->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
}

void MainWindow::setFollowing(bool on) {
    menu_.followLogFile->setChecked(on);
}

bool MainWindow::isFollowing() const {
    return menu_.followLogFile->isChecked();
}

void MainWindow::onFollowLogToggled(bool on) {
    if (on) {
        watchFollowedFile();
        checkFollowedFile();
        // A log opened whole keeps only its newest lines from now on.
        if (isFollowing() && logFile_) takeFollowedLines({}, 0, false);
    } else {
        followTimer_->stop();
        if (!fileWatcher_->files().isEmpty()) fileWatcher_->removePaths(fileWatcher_->files());
    }
}

void MainWindow::watchFollowedFile() {
    if (!isFollowing() || !logFile_) return;
    // The watcher forgets a file that was removed or renamed; a new one at the path is
    // watched again.
    if (!fileWatcher_->files().contains(logFilePath_)) {
        if (!fileWatcher_->files().isEmpty()) fileWatcher_->removePaths(fileWatcher_->files());
        fileWatcher_->addPath(logFilePath_);
    }
    if (!followTimer_->isActive()) followTimer_->start();
}

void MainWindow::checkFollowedFile(bool countAbsence) {
    if (!isFollowing() || !logFile_) return;
    // The new lines as text, and only their newest part once they alone would fill the box:
    // memory stays bounded however far the file grew since the last look.
    QString incoming;
    int incomingLeftOut = 0;
    bool restarted = false;
    bool binary = false;
    qsizetype longest = 0;
    LogFollower::Update update;
    do {
        update = logFile_->check(countAbsence);
        if (update.restarted) {
            incoming.clear();
            incomingLeftOut = 0;
            restarted = true;
            binary = false;
        }
        // A file read again is checked as when it was opened.
        binary = binary || (restarted && update.lines.contains('\0'));
        const QString text = textOfUtf8(update.lines.constData(), update.lines.size());
        longest = std::max({longest, update.overlongLine, longestLineLength(text)});
        // Every line is kept and shared, also those that leave before the box shows them.
        if (!binary && longest <= InputLineLimit) keepIntake(text);
        incoming += text;
        if (incoming.size() > 2 * FollowedTextLimit) {
            const NewestLines newest = newestFollowedLines(incoming);
            incomingLeftOut += newest.linesBefore;
            incoming.remove(0, newest.start);
        }
    } while (update.more && !update.ended && !binary && longest <= InputLineLimit);
    if (update.ended) {
        if (update.ended->kind == FailureKind::Missing)
            return stopFollowing(QStringLiteral("Follow stopped: %1 is gone.")
                                     .arg(QFileInfo(logFilePath_).fileName()));
        return stopFollowing(*update.ended);
    }
    if (binary) return stopFollowing(Failure{.kind = FailureKind::NotText});
    // A line the box would lay out again at every keystroke ends the follow, as a paste of it
    // is refused.
    if (longest > InputLineLimit) {
        return stopFollowing(
            QStringLiteral("Follow stopped: %1 has a line of %2 characters; the input "
                           "box takes lines of up to %3. Decode it with the batch "
                           "decoder orvalin-decode.")
                .arg(QFileInfo(logFilePath_).fileName(), QLocale().toString(longest),
                     QLocale().toString(InputLineLimit)));
    }
    if (restarted) {
        shownUnfinishedLine_.clear();
        followedLinesLeft_ = 0;
        takeFollowedLines(incoming, incomingLeftOut, true);
    } else if (!incoming.isEmpty()) {
        takeFollowedLines(incoming, incomingLeftOut, false);
    }
    watchFollowedFile();
}

void MainWindow::takeFollowedLines(const QString& lines, int linesLeftOut, bool replace) {
    // The file grew, not the user's doing: a screen reader does not read out the navigator's new
    // position or the status line's notice.
    const QuietAccessibilityUpdates quiet(controls_);
    QTextDocument* document = controls_.logInput->document();
    // With no new lines, only what lies beyond the box's bound leaves (a log opened whole,
    // then followed).
    if (!replace && lines.isEmpty() && newestFollowedLines(document->toRawText()).start == 0)
        return;
    QScrollBar* navigator = controls_.recordNavigator;
    const int shownRecord = navigator->value();
    const bool onLastRecord = records_.count() == 0 || shownRecord == navigator->maximum();
    const int channel = channelSelection_->buttonGroup()->checkedId();
    QScrollBar* rows = controls_.logInput->verticalScrollBar();
    const bool showingEnd = rows->value() == rows->maximum();

    // An update is no undo step, and undo steps from before it would point at text that has
    // left the top: the user's own edits from now on can be undone. With undo off, the
    // document also frees the text that leaves it, which it otherwise keeps for undo.
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (replace) {
        cursor.select(QTextCursor::Document);
    } else if (!lines.isEmpty()) {
        cursor.movePosition(QTextCursor::End);
        const QString lastLine = cursor.block().text();
        const QString shownUnfinishedLine = std::exchange(shownUnfinishedLine_, QString());
        if (!shownUnfinishedLine.isEmpty() && lastLine == shownUnfinishedLine) {
            // The box shows the start of the first line; `lines` repeats it in full.
            cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        } else if (!lastLine.isEmpty()) {
            // The box ends with a line of its own (typed by the user): the new lines go below.
            cursor.insertText(QStringLiteral("\n"));
        }
    }
    cursor.insertText(lines);
    // Cursor positions are positions in the raw text: a block separator is one character.
    const NewestLines newest = newestFollowedLines(document->toRawText());
    if (newest.start > 0) {
        cursor.setPosition(0);
        cursor.setPosition(static_cast<int>(newest.start), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();  // one change: intake runs once
    document->setUndoRedoEnabled(true);

    // The intake selected the default channel; the user's channel stays.
    if (channel >= 0 && channel != DefaultChannel)
        controls_.channelButtons[static_cast<std::size_t>(channel)]->setChecked(true);
    // The navigator stays on its record while older ones leave; when its record left too, it
    // shows the oldest one kept.
    if (onLastRecord)
        navigator->setValue(navigator->maximum());
    else if (replace)
        navigator->setValue(navigator->minimum());
    else
        navigator->setValue(std::max(navigator->minimum(), shownRecord - newest.logLinesBefore));
    if (showingEnd) rows->setValue(rows->maximum());

    followedLinesLeft_ += linesLeftOut + newest.linesBefore;
    showFollowNotice();
}

void MainWindow::showFollowNotice() {
    QLabel* status = statusLine();
    // The notice changes only while it is the status line's last message.
    if (!status->text().isEmpty() && status->text() != followNotice_) return;
    if (followedLinesLeft_ == 0) {
        if (!followNotice_.isEmpty()) status->clear();
        followNotice_.clear();
        return;
    }
    followNotice_ =
        QStringLiteral("Following %1: the newest %2 log lines are kept; %3 older %4 left the box.")
            .arg(QFileInfo(logFilePath_).fileName())
            .arg(RecordTable::Capacity)
            .arg(QLocale().toString(followedLinesLeft_))
            .arg(followedLinesLeft_ == 1 ? QStringLiteral("line has")
                                         : QStringLiteral("lines have"));
    status->setText(followNotice_);
}

void MainWindow::stopFollowing(const QString& why) {
    logFile_.reset();
    setFollowing(false);
    statusLine()->setText(why);
}

void MainWindow::stopFollowing(const Failure& failure) {
    stopFollowing(QStringLiteral("Follow stopped: ") +
                  logFileFailureText(logFilePath_, failure, true));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (!paths.isEmpty()) {
            drop->acceptProposedAction();
            // Opened once the drop is over: a message box must not hold the drag source.
            if (type == QEvent::Drop)
                QTimer::singleShot(0, this, [this, paths] { openLogFiles(paths); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::applyCommandLine(const WindowOptions& options) {
    if (options.follow) setFollowing(true);
    if (!options.files.isEmpty()) openLogFiles(options.files);
}

}  // namespace orvalin
