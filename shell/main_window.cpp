#include "shell/main_window.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>

#include "decoder/log_scan.h"
#include "decoder/number_text.h"
#include "export/csv_export.h"
#include "shell/conf_ini.h"
#include "shell/input_box.h"
#include "views/bar_chart.h"
#include "views/channel_selection.h"
#include "views/record_view.h"

namespace orvalin {

Form1::Form1(QString applicationDir, QWidget* parent)
    : QMainWindow(parent),
      applicationDir_(applicationDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                               : std::move(applicationDir)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(FormCaption));
    setWindowIcon(programIcon());
    // A fixed border: close box and system menu, no minimize or maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    const MainWindowMenu menu = buildMainMenu(menuBar());

    clientArea_ = new QWidget(this);
    clientArea_->setObjectName(QStringLiteral("ClientArea"));
    clientArea_->setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
    QPalette background;
    background.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));  // FormBackground
    clientArea_->setPalette(background);
    clientArea_->setAutoFillBackground(true);
    setCentralWidget(clientArea_);
    // The window is exactly menu bar plus client area, and the user cannot resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    controls_ = buildMainWindow(clientArea_);
    // A line longer than the box wraps at its width, at any character. Breaking at blanks
    // makes the text layout search the rest of an unbroken run for a blank at every row, so a
    // pasted line of megabytes without one (a hex dump, say) would take hours to lay out. Log
    // lines fit on one row and look the same either way.
    controls_.text2->setWordWrapMode(QTextOption::WrapAnywhere);
    chart_ = new BarChart(controls_.msChart1);
    recordView_ = std::make_unique<RecordView>(
        records_, RecordViewControls{controls_.text1, controls_.label4, controls_.label2,
                                     controls_.hScroll1});
    channelSelection_ = std::make_unique<ChannelSelection>(
        records_,
        ChannelControls{controls_.option1, controls_.text1, controls_.label1, controls_.frame8},
        *chart_);
    wireEvents(menu);
    Form_Load();
}

Form1::~Form1() = default;

void Form1::wireEvents(const MainWindowMenu& menu) {
    // textChanged follows every change of the text: typing, deleting, pasting, cutting and
    // changes by the program.
    connect(controls_.text2, &QPlainTextEdit::textChanged, this, &Form1::Text2_Change);
    connect(controls_.text2, &InputBox::insertRefused, this, [this](qsizetype longest) {
        showMessage_(QMessageBox::Warning, QString::fromLatin1(OverlongLineTitle),
                     overlongLineText(longest));
    });
    // With tracking off, a dragged thumb changes the value only when it is released.
    connect(controls_.hScroll1, &QScrollBar::valueChanged, this, &Form1::HScroll1_Change);
    connect(channelSelection_->buttonGroup(), &QButtonGroup::idToggled, this,
            [this](int channel, bool selected) {
                if (selected) Option1_Click(channel);
            });
    connect(controls_.command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(menu.exit, &QAction::triggered, this, &Form1::MnuExit_Click);
    connect(menu.writeCsvFile, &QAction::triggered, this, &Form1::WriteCSVFile_Click);
    connect(menu.info, &QAction::triggered, this, &Form1::MnuInfo_Click);
}

void Form1::Text2_Change() {
    readLogText();
    const ScanResult scan = scanLogText(logText_, records_);
    showLeftOutLines(scan.leftOut);
    recordView_->afterIntake(records_.count());
    // Runs Option1_Click when this changes the selection.
    controls_.option1[DefaultChannel]->setChecked(true);
    Show_Data(controls_.hScroll1->value());
    Draw_Chart(DefaultChannel);
}

void Form1::readLogText() {
    // The text box keeps lines as blocks, whatever line end a pasted text had (CR, LF or
    // CR LF). Writing every block break as CR LF lets a log with LF endings decode line by
    // line. A Shift+Enter break inside a block looks like a line break too and is one here.
    const QString raw = controls_.text2->document()->toRawText();
    logText_.resize(0);
    logText_.reserve(raw.size() + raw.size() / 64 + 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar ch = raw[i];
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator || ch == u'\n') {
            logText_.append(QStringView(raw).mid(start, i - start)).append(u"\r\n");
            start = i + 1;
        }
    }
    logText_.append(QStringView(raw).mid(start));
}

void Form1::showLeftOutLines(int leftOut) {
    QLabel* status = statusLabel();
    if (leftOut > 0) {
        leftOutNotice_ =
            QStringLiteral("Only the first %1 log lines are decoded; %2 more %3 left out.")
                .arg(RecordTable::Capacity)
                .arg(leftOut)
                .arg(leftOut == 1 ? QStringLiteral("was") : QStringLiteral("were"));
        status->setText(leftOutNotice_);
    } else if (!leftOutNotice_.isEmpty()) {
        // Clear the notice once it no longer holds, unless another message replaced it.
        if (status->text() == leftOutNotice_) status->clear();
        leftOutNotice_.clear();
    }
}

void Form1::HScroll1_Change() {
    recordView_->navigatorChanged();
}

void Form1::Option1_Click(int channel) {
    channelSelection_->select(channel);
}

void Form1::Show_Data(int recordNumber) {
    recordView_->showRecord(recordNumber);
}

void Form1::Draw_Chart(int channel) {
    channelSelection_->drawChart(channel);
}

void Form1::Form_Load() {
    // Start-up is silent: whatever conf.ini holds or lacks, the window opens.
    const StartupSettings settings = loadConfIni(applicationDir_);
    imagePath_ = settings.imagePath;
    controls_.command1->setVisible(settings.screenshotVisible);
    // Picture2 only stands for the capture buffer's size; the pixels live in capture_.
    controls_.picture2->setVisible(false);
    showMessage_ = [this](QMessageBox::Icon icon, const QString& title, const QString& text) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, this);
        box.exec();
    };
}

void Form1::Form_Resize() {
    // The capture buffer stays at the client area's position and size.
    controls_.picture2->setGeometry(0, 0, clientArea_->width(), clientArea_->height());
    capture_.fitBuffer(clientArea_->size());
}

void Form1::MnuExit_Click() {
    close();
}

void Form1::WriteCSVFile_Click() {
    const CsvExportResult result =
        writeCsvFile(applicationDir_, records_, localeDecimalSeparator());
    statusLabel()->setText(csvExportStatusText(result));
    if (!result.ok)
        showMessage_(QMessageBox::Warning, QString::fromLatin1(CsvExportFailureTitle),
                     csvExportFailureText(result));
}

void Form1::Command1_Click() {
    const CaptureResult result = capture_.capture(*clientArea_, imagePath_);
    statusLabel()->setText(captureStatusText(result));
    if (!result.saved) {
        showMessage_(QMessageBox::Warning, QString::fromLatin1(PictureNotSavedTitle),
                     pictureNotSavedText(result));
    } else if (!result.converterStarted) {
        showMessage_(QMessageBox::Information, QString::fromLatin1(ConverterMissingTitle),
                     QString::fromLatin1(ConverterMissingText));
    }
}

void Form1::MnuInfo_Click() {
    showInfoDialog(infoDialog_);
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Form_Resize();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

}  // namespace orvalin
