// The Info dialog: program name, a notice, the call sign, the version text and the project's
// web and e-mail addresses, on white. It has no commands and no owner: it does not block the
// main window, stays open when the main window closes (keeping the program running), and is
// destroyed when closed, so the next "Info" builds it anew.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace orvalin {

class InfoDialog : public QWidget {
    Q_OBJECT
public:
    static constexpr char VersionText[] = "Version Ver. 0.2    (31 May 2017)";
    static constexpr char Notice[] = "Decodes Orvalin CubeSat telemetry";
    static constexpr char WebAddress[] = "orvalin.example.org";
    static constexpr char MailAddress[] = "orvalin@example.org";

    // Builds the dialog without a parent, with the application's window icon (the main
    // window's), and runs its load step.
    InfoDialog();

protected:
    // Escape closes the dialog, as it closes dialogs everywhere on the desktop.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Writes the version text into its label.
    void load();

    QLabel* versionLabel_ = nullptr;  // the version text, in the frame
};

// The "Info" command: shows the dialog that `dialog` remembers, or creates one when there is
// none (never opened, or closed since). Returns the dialog shown.
InfoDialog* showInfoDialog(QPointer<InfoDialog>& dialog);

}  // namespace orvalin
