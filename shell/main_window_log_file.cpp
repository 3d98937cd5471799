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
#include <QScopeGuard>
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

// What the notice says of lines longer than the box takes.
QString longLinesText(int count) {
    const QLocale locale;
    if (count == 1)
        return QStringLiteral("a line longer than %1 characters was skipped")
            .arg(locale.toString(InputLineLimit));
    return QStringLiteral("%1 lines longer than %2 characters were skipped")
        .arg(locale.toString(count), locale.toString(InputLineLimit));
}

// The lines of a follow update as text, without the lines longer than the box takes: such a
// line is no log line (a receiver's hex dump), and the box would lay it out again at every
// keystroke. The follower hands on a long unfinished line in pieces, so `inLongLine` carries
// one being skipped from update to update; `skipped` counts each skipped line once.
QString followedText(const LogFollower::Update& update, bool& inLongLine, int& skipped) {
    QByteArrayView bytes = update.lines;
    if (inLongLine) {
        const qsizetype end = bytes.indexOf('\n');
        inLongLine = end < 0;
        bytes = inLongLine ? QByteArrayView() : bytes.sliced(end + 1);
    }
    if (update.overlongLine > 0 && !inLongLine) {
        bytes = bytes.first(bytes.lastIndexOf('\n') + 1);
        inLongLine = true;
        ++skipped;
    }
    QString text = textOfUtf8(bytes.data(), bytes.size());
    skipped += removeLinesLongerThan(text, InputLineLimit);
    return text;
}

// The state of a block of the input box that the user typed, pasted or changed. The lines of
// a log file keep Qt's default state; they leave when the file is read again from its start,
// and the typed ones stay.
constexpr int TypedLine = 1;
constexpr int FileLine = -1;

// Puts a log file's lines, each ended by a break, in at the start of the cursor's block (in
// place of its selection there). Qt gives the block's state to the first line put in and a new
// block to the block's own text, which follows them: the states are set again.
void insertFileLines(QTextCursor& cursor, const QString& lines) {
    QTextDocument* document = cursor.document();
    const int at = cursor.selectionStart();
    const int state = document->findBlock(at).userState();
    cursor.insertText(lines);
    document->findBlock(at).setUserState(FileLine);
    cursor.block().setUserState(state);
}

// Takes the lines of the log file out of the box, each with the break after it; the typed
// lines stay. Each run of file lines goes at once, the last run first.
void removeFileLines(QTextCursor& cursor) {
    QTextDocument* document = cursor.document();
    QTextBlock block = document->lastBlock();
    while (block.isValid()) {
        if (block.userState() == TypedLine) {
            block = block.previous();
            continue;
        }
        const QTextBlock next = block.next();
        // A run at the end leaves the break before it: a typed line there stays ended.
        const int end = next.isValid() ? next.position() : block.position() + block.length() - 1;
        const int nextState = next.userState();
        QTextBlock first = block;
        while (first.previous().isValid() && first.previous().userState() != TypedLine)
            first = first.previous();
        const int start = first.position();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        document->findBlock(start).setUserState(nextState);
        block = start > 0 ? document->findBlock(start - 1) : QTextBlock();
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

    // Lines the user typed or pasted stay when a followed file is read again from its start.
    connect(controls_.logInput->document(), &QTextDocument::contentsChange, this,
            [this](int from, int removed, int added) {
                if (!takingFileText_) markTypedLines(from, removed, added);
            });

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
    int longLinesSkipped = 0;
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
        // A line the box would lay out again at every keystroke (a receiver's hex dump) is no
        // log line: it is skipped, and the status line says so.
        longLinesSkipped += removeLinesLongerThan(read.text, InputLineLimit);
    }
    QString text;
    for (const LogFileText& read : reads) {
        if (!text.isEmpty() && !text.endsWith(u'\n')) text += u'\n';
        text += read.text;
    }
    // Every line is kept and shared, also those the box will not keep.
    keepIntake(text);
    // A followed file shows its newest lines, as every follow update keeps them.
    follow_ = FollowState{.longLinesSkipped = longLinesSkipped};
    if (holdUnfinishedLine) {
        const NewestLines newest = newestFollowedLines(text);
        text.remove(0, newest.start);
        follow_.linesLeft = newest.linesBefore;
    }
    // Followed from the start of its unfinished last line, which the box shows or not.
    const LogFileText& last = reads.back();
    logFilePath_ = last.path;
    logFile_ =
        std::make_unique<LogFollower>(QFile::encodeName(last.path).toStdString(), InputLineLimit);
    (void)logFile_->start(last.lineStart);
    const bool unfinishedLineShown =
        !holdUnfinishedLine && last.unfinishedLine.size() <= InputLineLimit;
    shownUnfinishedLine_ = unfinishedLineShown ? last.unfinishedLine : QString();
    // An overlong unfinished line counted as skipped above is skipped by the follower too,
    // without counting it again.
    follow_.inLongLine = !holdUnfinishedLine && last.unfinishedLine.size() > InputLineLimit;
    // A log of megabytes takes seconds to lay out and decode.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    replaceLogInput(text);
    QGuiApplication::restoreOverrideCursor();
    showFollowNotice(longLinesSkipped > 0);
    if (isFollowing()) watchFollowedFile();
    return true;
}

void MainWindow::replaceLogInput(const QString& text) {
    takingFileText_ = true;
    const auto byTheUserAgain = qScopeGuard([this] { takingFileText_ = false; });
    // One edit block: one change (one intake) and one undo step.
    QTextDocument* document = controls_.logInput->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    // The first block keeps its state through the edit; every line now is the file's.
    document->begin().setUserState(FileLine);
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
        // A gone file is no longer watched for.
        if (std::exchange(follow_.gone, false)) showFollowNotice();
    }
}

void MainWindow::watchFollowedFile() {
    if (!isFollowing() || logFilePath_.isEmpty()) return;
    // The watcher forgets a file that was removed or renamed; a new one at the path is
    // watched again. A file that is gone is looked for by the timer alone.
    if (logFile_ && !fileWatcher_->files().contains(logFilePath_) &&
        QFileInfo::exists(logFilePath_)) {
        if (!fileWatcher_->files().isEmpty()) fileWatcher_->removePaths(fileWatcher_->files());
        fileWatcher_->addPath(logFilePath_);
    }
    if (!followTimer_->isActive()) followTimer_->start();
}

bool MainWindow::followAgainFromStart() {
    // Looked for four times a second while it is gone: a follower, with its read buffer, is
    // made only once there is something at the path.
    if (QFileInfo::exists(logFilePath_)) {
        auto follower = std::make_unique<LogFollower>(QFile::encodeName(logFilePath_).toStdString(),
                                                      InputLineLimit);
        const LogFollower::Update started = follower->start();
        if (!started.ended) {
            logFile_ = std::move(follower);
            follow_.fromStart = true;
            follow_.inLongLine = false;
            return true;
        }
        if (started.ended->kind != FailureKind::Missing) {
            stopFollowing(*started.ended);
            return false;
        }
    }
    if (!follow_.gone) {
        follow_.gone = true;
        showFollowNotice(true);
    }
    return false;
}

void MainWindow::checkFollowedFile(bool countAbsence) {
    if (!isFollowing() || logFilePath_.isEmpty()) return;
    // Followed by its name: a file gone, or one whose following ended, is opened anew.
    if (!logFile_ && !followAgainFromStart()) return;
    // The new lines as text, and only their newest part once they alone would fill the box:
    // memory stays bounded however far the file grew since the last look.
    QString incoming;
    int incomingLeftOut = 0;
    bool restarted = std::exchange(follow_.fromStart, false);
    bool binary = false;
    int skipped = 0;
    LogFollower::Update update;
    do {
        update = logFile_->check(countAbsence);
        if (update.restarted) {
            incoming.clear();
            incomingLeftOut = 0;
            restarted = true;
            binary = false;
            skipped = 0;
            follow_.inLongLine = false;
        }
        // A file read again is checked as when it was opened.
        binary = binary || (restarted && update.lines.contains('\0'));
        const QString text = followedText(update, follow_.inLongLine, skipped);
        // Every line is kept and shared, also those that leave before the box shows them.
        if (!binary) keepIntake(text);
        incoming += text;
        if (incoming.size() > 2 * FollowedTextLimit) {
            const NewestLines newest = newestFollowedLines(incoming);
            incomingLeftOut += newest.linesBefore;
            incoming.remove(0, newest.start);
        }
    } while (update.more && !update.ended && !binary);
    if (binary) return stopFollowing(Failure{.kind = FailureKind::NotText});
    if (restarted) {
        shownUnfinishedLine_.clear();
        follow_ = FollowState{.readAgain = true, .inLongLine = follow_.inLongLine};
    }
    follow_.longLinesSkipped += skipped;
    // What was read before the end is taken too.
    if (restarted || !incoming.isEmpty()) takeFollowedLines(incoming, incomingLeftOut, restarted);
    if (skipped > 0) showFollowNotice(true);
    if (update.ended) {
        if (update.ended->kind != FailureKind::Missing) return stopFollowing(*update.ended);
        // Removed or renamed and not made again (a pass ended, a log rotated): watched for by
        // its name until it comes back.
        logFile_.reset();
        follow_.gone = true;
        showFollowNotice(true);
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

    takingFileText_ = true;
    const auto byTheUserAgain = qScopeGuard([this] { takingFileText_ = false; });
    // An update is no undo step, and undo steps from before it would point at text that has
    // left the top: the user's own edits from now on can be undone. With undo off, the
    // document also frees the text that leaves it, which it otherwise keeps for undo.
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (replace) removeFileLines(cursor);
    if (!lines.isEmpty()) {
        cursor.movePosition(QTextCursor::End);
        const QString lastLine = cursor.block().text();
        const QString shownUnfinishedLine = std::exchange(shownUnfinishedLine_, QString());
        if (!shownUnfinishedLine.isEmpty() && lastLine == shownUnfinishedLine) {
            // The box shows the start of the first line; `lines` repeats it in full.
            cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        } else {
            // A last line without a break is being typed: the new lines go in before it, and
            // the user's cursor and selection stay where they are.
            cursor.movePosition(QTextCursor::StartOfBlock);
        }
        insertFileLines(cursor, lines);
    }
    // Cursor positions are positions in the raw text: a block separator is one character.
    const NewestLines newest = newestFollowedLines(document->toRawText());
    if (newest.start > 0) {
        const int firstKept = static_cast<int>(newest.start);
        const int firstKeptState = document->findBlock(firstKept).userState();
        cursor.setPosition(0);
        cursor.setPosition(firstKept, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        document->begin().setUserState(firstKeptState);
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

    follow_.linesLeft += linesLeftOut + newest.linesBefore;
    showFollowNotice();
}

void MainWindow::markTypedLines(int from, int removed, int added) {
    QTextBlock block = controls_.logInput->document()->findBlock(from);
    // A break put in at the end of a line (Enter there) leaves that line as it was.
    if (removed == 0 && from >= block.position() + block.text().size()) block = block.next();
    for (; block.isValid() && block.position() <= from + added; block = block.next())
        block.setUserState(TypedLine);
}

void MainWindow::showFollowNotice(bool news) {
    QLabel* status = statusLine();
    const bool shown = !followNotice_.isEmpty() && status->text() == followNotice_;
    if (!news && !shown && !status->text().isEmpty()) return;
    QStringList parts;
    if (follow_.gone) {
        parts << QStringLiteral(
            "the log is gone; it is read again from its start when it comes back");
    } else {
        if (follow_.readAgain) parts << QStringLiteral("the log was read again from its start");
        if (follow_.longLinesSkipped > 0) parts << longLinesText(follow_.longLinesSkipped);
        if (follow_.linesLeft > 0)
            parts << QStringLiteral("the newest %1 log lines are kept; %2 older %3 left the box")
                         .arg(RecordTable::Capacity)
                         .arg(QLocale().toString(follow_.linesLeft))
                         .arg(follow_.linesLeft == 1 ? QStringLiteral("line has")
                                                     : QStringLiteral("lines have"));
    }
    if (parts.isEmpty()) {
        if (shown) status->clear();
        followNotice_.clear();
        return;
    }
    followNotice_ = parts.join(QStringLiteral("; ")) + u'.';
    if (isFollowing())
        followNotice_.prepend(
            QStringLiteral("Following %1: ").arg(QFileInfo(logFilePath_).fileName()));
    else
        followNotice_[0] = followNotice_[0].toUpper();
    status->setText(followNotice_);
}

void MainWindow::stopFollowing(const Failure& failure) {
    logFile_.reset();
    follow_.gone = false;
    setFollowing(false);
    // A notice of the follow: ticking the entry again replaces it.
    followNotice_ =
        QStringLiteral("Follow stopped: ") + logFileFailureText(logFilePath_, failure, true);
    statusLine()->setText(followNotice_);
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
