#include "shell/main_window.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
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
#include "decoder/log_text.h"
#include "decoder/number_text.h"
#include "export/csv_export.h"
#include "files/atomic_file.h"
#include "settings/conf_ini.h"
#include "shell/accessibility.h"
#include "shell/input_box.h"
#include "shell/window_sharing.h"
#include "views/bar_chart.h"
#include "views/channel_selection.h"
#include "views/chart_picture.h"
#include "views/record_view.h"

namespace orvalin {

namespace {

constexpr char SaveChartTitle[] = "Save Chart As";

// A save dialog that puts the extension of the chosen file type on a name typed without one,
// before it asks whether to replace an existing file.
QString askChartFileName(QWidget* parent, const QString& suggestedPath) {
    QFileDialog dialog(
        parent, QString::fromLatin1(SaveChartTitle), suggestedPath,
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) {
                         dialog.setDefaultSuffix(filter.section(QStringLiteral("*."), 1).left(3));
                     });
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace

MainWindow::MainWindow(QString executableDir, QWidget* parent)
    : QMainWindow(parent),
      locations_(chooseFileLocations(
          executableDir.isEmpty() ? QCoreApplication::applicationDirPath() : executableDir,
          currentUserFolders())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(FormCaption));
    setWindowIcon(programIcon());
    // A fixed border: close box and system menu, no minimize or maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    menu_ = buildMainMenu(menuBar());

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
    controls_.logInput->setWordWrapMode(QTextOption::WrapAnywhere);
    chart_ = BarChart::of(controls_.chartWidget);
    markShownRecord();
    recordView_ = std::make_unique<RecordView>(
        records_, RecordViewControls{controls_.valueBoxes, controls_.recordTimeLabel,
                                     controls_.navigatorLabel, controls_.recordNavigator});
    channelSelection_ = std::make_unique<ChannelSelection>(
        records_,
        ChannelControls{controls_.channelButtons, controls_.valueBoxes, controls_.unitLabels,
                        controls_.chartFrame},
        *chart_);
    wireEvents();
    setUpLogFiles();
    setUpSharing();
    makeAccessible(*this, controls_);
    load();
}

MainWindow::~MainWindow() = default;

void MainWindow::wireEvents() {
    // textChanged follows every change of the text: typing, deleting, pasting, cutting and
    // changes by the program.
    connect(controls_.logInput, &QPlainTextEdit::textChanged, this, &MainWindow::onLogTextChanged);
    connect(controls_.logInput, &InputBox::insertRefused, this, [this](qsizetype longest) {
        showMessage_(QMessageBox::Warning, QString::fromLatin1(OverlongLineTitle),
                     overlongLineText(longest));
    });
    // With tracking off, a dragged thumb changes the value only when it is released.
    connect(controls_.recordNavigator, &QScrollBar::valueChanged, this,
            &MainWindow::onNavigatorChanged);
    connect(controls_.recordNavigator, &QScrollBar::valueChanged, this,
            &MainWindow::markShownRecord);
    connect(chart_, &BarChart::barClicked, this, &MainWindow::onChartBarClicked);
    connect(chart_->saveAction(), &QAction::triggered, this, &MainWindow::onSaveChartAs);
    connect(chart_->copyAction(), &QAction::triggered, this, &MainWindow::onCopyChart);
    connect(channelSelection_->buttonGroup(), &QButtonGroup::idToggled, this,
            [this](int channel, bool selected) {
                if (selected) onChannelSelected(channel);
            });
    connect(controls_.screenshotButton, &QPushButton::clicked, this, &MainWindow::onScreenshot);
    connect(menu_.exit, &QAction::triggered, this, &MainWindow::onExit);
    connect(menu_.writeCsvFile, &QAction::triggered, this, &MainWindow::onWriteCsvFile);
    connect(menu_.info, &QAction::triggered, this, &MainWindow::onInfo);
}

void MainWindow::onLogTextChanged() {
    readLogText();
    const ScanResult scan = scanLogText(logText_, records_);
    showLeftOutLines(scan.leftOut);
    recordView_->afterIntake(records_.count());
    // Runs onChannelSelected when this changes the selection.
    controls_.channelButtons[DefaultChannel]->setChecked(true);
    showRecord(controls_.recordNavigator->value());
    drawChart(DefaultChannel);
    markShownRecord();
}

void MainWindow::markShownRecord() {
    // A navigator above the count (after an intake without records) shows the blank record.
    const int position = controls_.recordNavigator->value();
    chart_->setMarkedRow(position <= records_.count() ? position : 0);
}

void MainWindow::readLogText() {
    // The text box keeps lines as blocks, whatever line end a pasted text had, and a Shift+Enter
    // break inside a block looks like a line break too. Each becomes CR LF, the scan's line end,
    // by the line rule that the batch decoder follows as well.
    logText_.resize(0);
    appendWithCrLfBreaks(logText_, controls_.logInput->document()->toRawText());
}

void MainWindow::showLeftOutLines(int leftOut) {
    QLabel* status = statusLine();
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

void MainWindow::onNavigatorChanged() {
    recordView_->navigatorChanged();
}

void MainWindow::onChannelSelected(int channel) {
    channelSelection_->select(channel);
}

void MainWindow::showRecord(int recordNumber) {
    recordView_->showRecord(recordNumber);
}

void MainWindow::drawChart(int channel) {
    channelSelection_->drawChart(channel);
}

void MainWindow::load() {
    // Start-up is silent: whatever conf.ini holds or lacks, the window opens.
    const StartupSettings settings = loadConfIni(locations_.confIniDir, locations_.dataDir + u'/');
    imagePath_ = settings.imagePath;
    controls_.screenshotButton->setVisible(settings.screenshotVisible);
    sharing_->start(settings.entries);
    // captureBuffer only stands for the capture buffer's size; the pixels live in capture_.
    controls_.captureBuffer->setVisible(false);
    showMessage_ = [this](QMessageBox::Icon icon, const QString& title, const QString& text) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, this);
        box.exec();
    };
    askSaveFileName_ = [this](const QString& suggestedPath) {
        return askChartFileName(this, suggestedPath);
    };
}

void MainWindow::fitCaptureBuffer() {
    // The capture buffer stays at the client area's position and size.
    controls_.captureBuffer->setGeometry(0, 0, clientArea_->width(), clientArea_->height());
    capture_.fitBuffer(clientArea_->size());
}

void MainWindow::onExit() {
    close();
}

void MainWindow::onWriteCsvFile() {
    // A per-user data folder is made when first written to.
    Result<> folder = prepareDataDir(locations_);
    const CsvExportResult result =
        folder ? writeCsvFile(locations_.dataDir, records_, localeDecimalSeparator())
               : CsvExportResult{.path = locations_.dataDir + u'/' + QLatin1String(CsvFileName),
                                 .written = std::move(folder)};
    statusLine()->setText(csvExportStatusText(result));
    if (!result.written)
        showMessage_(QMessageBox::Warning, QString::fromLatin1(CsvExportFailureTitle),
                     csvExportFailureText(result));
}

void MainWindow::onScreenshot() {
    // A folder that conf.ini names is used as it is; only the default one is made.
    if (imagePath_ == locations_.dataDir + u'/') (void)prepareDataDir(locations_);
    const CaptureResult result = capture_.capture(*clientArea_, imagePath_);
    statusLine()->setText(captureStatusText(result));
    if (!result.saved) {
        showMessage_(QMessageBox::Warning, QString::fromLatin1(PictureNotSavedTitle),
                     pictureNotSavedText(result));
    } else if (!result.converterStarted) {
        showMessage_(QMessageBox::Information, QString::fromLatin1(ConverterMissingTitle),
                     QString::fromLatin1(ConverterMissingText));
    }
}

void MainWindow::onInfo() {
    showInfoDialog(infoDialog_);
}

void MainWindow::onChartBarClicked(int row) {
    // The bars of a plot kept after an intake without records lead to no record.
    if (row < 1 || row > records_.count()) return;
    controls_.recordNavigator->setValue(row);
}

void MainWindow::onSaveChartAs() {
    const ChannelIndex channel = channelSelection_->chartedChannel();
    if (channel < 0) return;
    const QString date = records_.count() > 0 ? records_.record(1).DateText.toString() : QString();
    const QString suggested =
        (chartDir_.isEmpty() ? imagePath_ : chartDir_ + u'/') +
        chartFileName(controls_.channelButtons[static_cast<std::size_t>(channel)]->text(), date,
                      ChartFileFormat::Png);
    QString path = askSaveFileName_(suggested);
    if (path.isEmpty()) return;
    std::optional<ChartFileFormat> format = chartFileFormat(path);
    if (!format) {
        format = ChartFileFormat::Png;
        path += chartFileSuffix(*format);
    }
    const QByteArray bytes = chartFileBytes(*chart_, *format, controls_.chartFrame->title());
    const Result<> saved = bytes.isEmpty()
                               ? Failure{.text = QStringLiteral("The chart could not be drawn.")}
                               : writeFileAtomically(path, bytes);
    if (saved) {
        chartDir_ = QFileInfo(path).absolutePath();
        statusLine()->setText(QStringLiteral("%1 saved").arg(path));
        return;
    }
    const Failure& failure = saved.failure();
    statusLine()->setText(QStringLiteral("%1 was not saved: %2").arg(path, failure.text));
    QString text = QStringLiteral("The chart was not saved.\n\n%1\n\n%2").arg(path, failure.text);
    if (!failure.consequence.isEmpty()) text += QStringLiteral("\n\n") + failure.consequence;
    showMessage_(QMessageBox::Warning, QString::fromLatin1(SaveChartTitle), text);
}

void MainWindow::onCopyChart() {
    if (channelSelection_->chartedChannel() < 0) return;
    QGuiApplication::clipboard()->setImage(chartImage(*chart_, controls_.chartFrame->title()));
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    fitCaptureBuffer();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    fitCaptureBuffer();
}

}  // namespace orvalin
