// Keeping and sharing frames in the main window: the hooks between intake and
// shell/window_sharing.h, and the Mission History window. Keystrokes are no intake here, so a
// half-typed line is never kept or shared; a paste or drop of text, an opened or dropped file
// and the lines a followed file brings are.
#include <QAction>
#include <QLabel>

#include "settings/conf_ini.h"
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
}

void MainWindow::keepIntake(const QString& text) {
    sharing_->takeIntake(text);
}

void MainWindow::onMissionHistory() {
    if (!historyWindow_) {
        // A window of its own, not owned by this one: like the Info window, it may stay open.
        historyWindow_ = new HistoryWindow;
        historyWindow_->setAttribute(Qt::WA_DeleteOnClose);
        historyLoader_ = new HistoryLoader(locations_.archivePath, historyWindow_, historyWindow_);
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
}

}  // namespace orvalin
