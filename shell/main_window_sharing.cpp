// Sharing in the main window: the hooks between intake and shell/window_sharing.h. Keystrokes
// are no intake here, so a half-typed line is never shared; a paste or drop of text, an
// opened or dropped file and the lines a followed file brings are.
#include <QLabel>
#include <QTimer>

#include "settings/conf_ini.h"
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
    connect(controls_.logInput, &InputBox::inserted, this, &MainWindow::shareIntake);
}

void MainWindow::startSharingIfAsked(const QList<ConfIniEntry>& confEntries) {
    // Once the window runs, so that a message about a missing setting has a window to belong to.
    QTimer::singleShot(0, this, [this, confEntries] { sharing_->applyStartSetting(confEntries); });
}

void MainWindow::shareIntake(const QString& text) {
    sharing_->takeIntake(text);
}

}  // namespace orvalin
