// Log files in the main window: "Open Log File...", files dropped on the window, the command
// line, and following a file that grows. Every road ends in a change of the input box, so
// intake (onLogTextChanged) decodes a file exactly as it decodes a paste.
#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "decoder/log_text.h"
#include "files/error_text.h"
#include "shell/input_box.h"
#include "shell/main_window.h"

namespace orvalin {

namespace {

struct LogFileMenuEntry {
    const char* name;
    const char* caption;
    QKeySequence::StandardKey shortcut;
    bool checkable;
};

// Above "Exit" in the "File" menu.
constexpr LogFileMenuEntry LogFileMenuEntries[] = {
    {.name = "MnuOpenLog",
     .caption = "Open Log File...",
     .shortcut = QKeySequence::Open,
     .checkable = false},
    {.name = "MnuFollowLog",
     .caption = "Follow Log File",
     .shortcut = QKeySequence::UnknownKey,
     .checkable = true},
};

constexpr char FileDialogFilter[] = "Log and text files (*.log *.txt);;All files (*)";

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
    auto* fileMenu = menuBar()->findChild<QMenu*>(QStringLiteral("MnuFile"));
    QAction* exit = menuBar()->findChild<QAction*>(QStringLiteral("MnuExit"));
    for (const LogFileMenuEntry& entry : LogFileMenuEntries) {
        auto* action = new QAction(QString::fromLatin1(entry.caption), fileMenu);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setShortcut(entry.shortcut);
        action->setCheckable(entry.checkable);
        fileMenu->insertAction(exit, action);
    }
    fileMenu->insertSeparator(exit);
    openAction_ = fileMenu->findChild<QAction*>(QStringLiteral("MnuOpenLog"));
    followAction_ = fileMenu->findChild<QAction*>(QStringLiteral("MnuFollowLog"));
    connect(openAction_, &QAction::triggered, this, &MainWindow::onOpenLogFile);
    connect(followAction_, &QAction::toggled, this, &MainWindow::onFollowLogToggled);

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
    std::vector<LogFileRead> reads;
    // A followed file may be mid-line: that line waits for its line end.
    const bool holdUnfinishedLine = isFollowing();
    for (const QString& path : paths) {
        reads.push_back(readLogFile(path, holdUnfinishedLine && path == paths.back()));
        if (!reads.back().ok()) {
            showMessage_(QMessageBox::Warning, QString::fromLatin1(OpenLogFileTitle),
                         logFileProblemText(reads.back()));
            return false;
        }
        // A line the box would lay out again at every keystroke is refused as for a paste.
        if (const qsizetype longest = longestLineLength(reads.back().text);
            longest > InputLineLimit) {
            showMessage_(QMessageBox::Warning, QString::fromLatin1(OpenLogFileTitle),
                         path + QStringLiteral("\n\n") + overlongLineText(longest));
            return false;
        }
    }
    QString text;
    for (const LogFileRead& read : reads) {
        if (!text.isEmpty() && !text.endsWith(u'\n')) text += u'\n';
        text += read.text;
    }
    // Followed from the start of its unfinished last line, which the box shows or not.
    const LogFileRead& last = reads.back();
    logFilePath_ = last.path;
    logFile_ = std::make_unique<LogFollower>(QFile::encodeName(last.path).toStdString());
    logFile_->start(last.lineStart);
    shownUnfinishedLine_ = holdUnfinishedLine ? QString() : last.unfinishedLine;
    // A log of megabytes takes seconds to lay out and decode.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    replaceLogInput(text);
    QGuiApplication::restoreOverrideCursor();
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

void MainWindow::appendToLogInput(const QString& lines, const QString& shownUnfinishedLine) {
    QScrollBar* navigator = controls_.recordNavigator;
    const bool onLastRecord = records_.count() == 0 || navigator->value() == navigator->maximum();
    QScrollBar* rows = controls_.logInput->verticalScrollBar();
    const bool showingEnd = rows->value() == rows->maximum();

    QTextCursor cursor(controls_.logInput->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    const QString lastLine = cursor.block().text();
    if (!shownUnfinishedLine.isEmpty() && lastLine == shownUnfinishedLine) {
        // The box shows the start of the first line; `lines` repeats it in full.
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    } else if (!lastLine.isEmpty()) {
        // The box ends with a line of its own (typed by the user): the new lines go below it.
        cursor.insertText(QStringLiteral("\n"));
    }
    cursor.insertText(lines);
    cursor.endEditBlock();  // one change: intake runs once

    if (onLastRecord) navigator->setValue(navigator->maximum());
    if (showingEnd) rows->setValue(rows->maximum());
}

void MainWindow::setFollowing(bool on) {
    followAction_->setChecked(on);
}

bool MainWindow::isFollowing() const {
    return followAction_->isChecked();
}

void MainWindow::onFollowLogToggled(bool on) {
    if (on) {
        watchFollowedFile();
        checkFollowedFile();
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
    QByteArray lines;
    bool restarted = false;
    LogFollower::Update update;
    do {
        update = logFile_->check(countAbsence);
        if (update.restarted) {
            lines.clear();
            restarted = true;
        }
        lines += update.lines;
        if (logFile_->fileSize() > LogFileSizeLimit) return stopFollowing(LogFileProblem::TooLarge);
    } while (update.more && update.state == LogFollower::State::Following &&
             update.overlongLine == 0);
    switch (update.state) {
        case LogFollower::State::Following:
            break;
        case LogFollower::State::Gone:
            return stopFollowing(QStringLiteral("Follow stopped: %1 is gone.")
                                     .arg(QFileInfo(logFilePath_).fileName()));
        case LogFollower::State::Folder:
            return stopFollowing(LogFileProblem::Directory);
        case LogFollower::State::NotAFile:
            return stopFollowing(LogFileProblem::NotAFile);
        case LogFollower::State::Failed:
            return stopFollowing(LogFileProblem::Unreadable,
                                 QString::fromLocal8Bit(errorText(update.error)));
    }
    // A file read again is checked as when it was opened.
    if (restarted && lines.contains('\0')) return stopFollowing(LogFileProblem::NotText);
    const QString text = textOfUtf8(lines.constData(), lines.size());
    // A line the box would lay out again at every keystroke ends the follow, as a paste of it
    // is refused.
    const qsizetype longest = std::max(update.overlongLine, longestLineLength(text));
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
        replaceLogInput(text);
    } else if (!text.isEmpty()) {
        appendToLogInput(text, std::exchange(shownUnfinishedLine_, QString()));
    }
    watchFollowedFile();
}

void MainWindow::stopFollowing(const QString& why) {
    logFile_.reset();
    setFollowing(false);
    statusLine()->setText(why);
}

void MainWindow::stopFollowing(LogFileProblem problem, const QString& reason) {
    stopFollowing(QStringLiteral("Follow stopped: ") +
                  logFileProblemText(logFilePath_, problem, reason, true));
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
