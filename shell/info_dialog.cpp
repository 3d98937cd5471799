#include "shell/info_dialog.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <array>

#include "shell/accessibility.h"
#include "shell/main_window_layout.h"

namespace orvalin {

namespace {

constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb LinkBlue = qRgb(0, 0, 255);

enum class FontKind { Default, Title, Bold, Link };

// The main window's fonts, in pixels like the layout, so that texts fit their labels at any
// logical dpi; the title is 12 pt at 96 dpi.
QFont dialogFont(FontKind kind) {
    const bool bold = kind == FontKind::Title || kind == FontKind::Bold;
    QFont font = layoutFont(bold ? FontRole::SansBold : FontRole::Sans);
    if (kind == FontKind::Title) font.setPixelSize(16);
    font.setUnderline(kind == FontKind::Link);
    return font;
}

void paintBackground(QWidget& widget, QRgb background) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, background);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

struct LabelEntry {
    const char* name;
    bool inFrame;  // placed in the frame rather than on the dialog
    int left, top, width, height;
    const char* text;  // nullptr: empty until the load step writes it
    FontKind font;
    QRgb textColour;  // 0 (no colour, not black): the default text colour
    Qt::Alignment alignment;
};

constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;

// clang-format off
const std::array<LabelEntry, 8> Labels = {{
    {"Label1", false, 120,  120, 3615, 375, "Orvalin Telemetry Decoder", FontKind::Title, 0, Left},
    {"Label3", false, 120,  600, 3015, 255, InfoDialog::Notice,               FontKind::Default, 0, Left},
    {"Label8", false, 120,  960,  735, 255, "Teskar",                    FontKind::Bold, Black, Left},
    {"Label2", true,  120,  240, 3255, 255, nullptr,                     FontKind::Default, 0, Qt::AlignCenter},
    {"Label6", false, 360, 2160,  855, 255, "Homepage:",                 FontKind::Default, 0, Left},
    {"Label4", false, 1320, 2160, 1815, 255, InfoDialog::WebAddress,          FontKind::Link, LinkBlue, Left},
    {"Label7", false, 360, 2520,  615, 255, "e-mail:",                   FontKind::Default, 0, Left},
    {"Label5", false, 1320, 2520, 1815, 255, InfoDialog::MailAddress,         FontKind::Link, LinkBlue, Left},
}};
// clang-format on

}  // namespace

InfoDialog::InfoDialog() : QWidget(nullptr) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Fixed single border: title, system menu and close box, no minimize or maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral(" Info"));
    setWindowIcon(programIcon());  // the main window's icon
    setFixedSize(twipsToPixels(4155), twipsToPixels(2850));
    setFont(dialogFont(FontKind::Default));
    paintBackground(*this, White);

    // A frame without caption: an etched rectangle, white inside (a group box would paint its
    // own panel colour there).
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(twipsToPixels(120), twipsToPixels(1320), twipsToPixels(3495),
                       twipsToPixels(615));
    paintBackground(*frame, White);

    for (const LabelEntry& entry : Labels) {
        QWidget* container = entry.inFrame ? static_cast<QWidget*>(frame) : this;
        auto* label = new QLabel(container);
        label->setObjectName(QLatin1String(entry.name));
        label->setGeometry(twipsToPixels(entry.left), twipsToPixels(entry.top),
                           twipsToPixels(entry.width), twipsToPixels(entry.height));
        if (entry.text != nullptr) label->setText(QLatin1String(entry.text));
        if (container == frame) versionLabel_ = label;
        label->setTextFormat(Qt::PlainText);  // the addresses are not links
        label->setFont(dialogFont(entry.font));
        label->setAlignment(entry.alignment);
        paintBackground(*label, White);
        if (entry.textColour != 0) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, entry.textColour);
            label->setPalette(palette);
        }
    }
    load();
    // Read as seen: title, notice, call sign, version, then each address after its caption.
    readChildrenByPosition(this);
}

void InfoDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

void InfoDialog::load() {
    versionLabel_->setText(QLatin1String(VersionText));
}

InfoDialog* showInfoDialog(QPointer<InfoDialog>& dialog) {
    if (dialog.isNull()) dialog = new InfoDialog();  // deletes itself when closed
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog.data();
}

}  // namespace orvalin
