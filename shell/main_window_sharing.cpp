// Keeping and sharing frames in the main window: the hooks between intake and
// shell/window_sharing.h, and the Mission History window. Keystrokes are no intake here, so a
// half-typed line is never kept or shared; a paste or drop of text, an opened or dropped file
// and the lines a followed file brings are.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QThread>

#include "settings/conf_ini.h"
#include "shell/history_export.h"
#include "shell/history_loader.h"
#include "shell/history_window.h"
#include "shell/input_box.h"
#include "shell/main_window.h"
#include "shell/window_sharing.h"

namespace orvalin {

void MainWindow::setUpSharing() {
    sharing_ = new WindowSharing(
        menu_.shareFrames, menu_.sharingStatus, locations_.archivePath,
        [this] { return loadConfIni(locations_.confIniDir).entries; },
        [this](const QString& title, const QString& text) {
            showMessage_(QMessageBox::Warning, title, text);
        },
        [this](const QString& text) { statusLine()->setText(text); }, this);
    connect(controls_.logInput, &InputBox::inserted, this, &MainWindow::keepIntake);
    connect(menu_.missionHistory, &QAction::triggered, this, &MainWindow::onMissionHistory);
    connect(sharing_, &WindowSharing::framesKept, this, [this](const QList<StoredFrame>& frames) {
        if (historyLoader_) historyLoader_->live(frames);
    });
    askHistoryExportName_ = [this](QWidget* parent) {
        return QFileDialog::getSaveFileName(
            parent, QString::fromLatin1(HistoryExportTitle), locations_.dataDir,
            QStringLiteral("CSV file (*.csv);;JSON Lines (*.jsonl)"));
    };
}

void MainWindow::keepIntake(const QString& text) {
    sharing_->takeIntake(text);
}

void MainWindow::onMissionHistory() {
    if (!historyWindow_) {
        // A window of its own that goes with this one, whose archive feeds it.
        historyWindow_ = new HistoryWindow(this);
        historyWindow_->setAttribute(Qt::WA_DeleteOnClose);
        historyLoader_ = new HistoryLoader(locations_.archivePath, historyWindow_, historyWindow_);
        historyWindow_->setExporter(
            [this](qint64 fromUtc, qint64 untilUtc) { exportHistoryRange(fromUtc, untilUtc); });
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
}

void MainWindow::exportHistoryRange(qint64 fromUtc, qint64 untilUtc) {
    const QString path = askHistoryExportName_(historyWindow_);
    if (path.isEmpty() || !historyWindow_) return;
    historyWindow_->setNote(QStringLiteral("Exporting..."));
    // Written in a thread of its own: a million frames take a few seconds.
    QPointer<HistoryWindow> window = historyWindow_;
    auto* thread = QThread::create([archive = locations_.archivePath, fromUtc, untilUtc, path,
                                    window] {
        const Result<qint64> written = exportHistory(archive, fromUtc, untilUtc, path);
        const QString note =
            written
                ? QStringLiteral("%1 frames written to %2").arg(QLocale().toString(*written), path)
                : QStringLiteral("%1 was not written: %2").arg(path, written.failure().text) +
                      (written.failure().consequence.isEmpty()
                           ? QString()
                           : u' ' + written.failure().consequence);
        QMetaObject::invokeMethod(
            qApp,
            [window, note] {
                if (window) window->setNote(note);
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

}  // namespace orvalin
