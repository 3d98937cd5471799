// The Info dialog: program name, a notice, the call sign, the version text and the project's
// web and e-mail addresses, on white. It has no commands and no owner: it does not block the
// main window, stays open when the main window closes (keeping the program running), and is
// destroyed when closed, so the next "Info" builds it anew.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace orvalin {

class Form2 : public QWidget {
    Q_OBJECT
public:
    static constexpr char VersionText[] = "Version Ver. 0.2    (31 May 2017)";
    static constexpr char Notice[] = "Decodes Orvalin CubeSat telemetry";
    static constexpr char WebAddress[] = "orvalin.example.org";
    static constexpr char MailAddress[] = "orvalin@example.org";

    // Builds the dialog without a parent, with the application's window icon (the main
    // window's), and runs its load step.
    Form2();

private:
    // Writes the version text into Label2.
    void Form_Load();

    QLabel* label2_ = nullptr;  // the version text, in Frame1
};

// The "Info" command: shows the dialog that `dialog` remembers, or creates one when there is
// none (never opened, or closed since). Returns the dialog shown.
Form2* showInfoDialog(QPointer<Form2>& dialog);

}  // namespace orvalin
