// The main window. Data flows one way:
//
//   logInput (pasted or opened log text) --onLogTextChanged: scanLogText--> RecordTable
//        --> record view: valueBoxes (one per channel) and recordTimeLabel (its date and time)
//            show the record that recordNavigator, a record number, chooses; navigatorLabel
//            shows that number and the record count
//        --> channel selection and chart: one of channelButtons chooses the channel that
//            chartWidget plots inside chartFrame, whose caption names it
//        --> CSV file and window picture (menu and screenshotButton "S"; the hidden
//            captureBuffer stands for the picture's size)
//        --> chart picture: PNG, SVG or PDF file, or the clipboard (chart's context menu)
//
// Each channel's button, value box and unit label (channelButtons, valueBoxes, unitLabels)
// sit in vidadFrame ("VIDAD Telemetry", channels 0 to 22) or zodirFrame ("ZODIR", 23 to 28).
// statusLine reports what commands did (files written, lines left out, a follow stopped).
// The chart also leads back to the records: a click on a bar, or an arrow key on the focused
// chart, moves recordNavigator to its record, and the bar of the record shown is marked.
//
// Every user action reaches exactly one handler below; the handlers hand the work to the
// record view and the channel selection and never change the table except through intake.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "decoder/record_table.h"
#include "export/screenshot.h"
#include "files/failure.h"
#include "files/log_follower.h"
#include "settings/conf_ini.h"
#include "settings/file_locations.h"
#include "shell/history_loader.h"
#include "shell/history_window.h"
#include "shell/info_dialog.h"
#include "shell/main_window_layout.h"
#include "shell/window_command_line.h"

class QAction;
class QFileSystemWatcher;
class QLabel;
class QTimer;

namespace orvalin {

class BarChart;
class ChannelSelection;
class RecordView;
class WindowSharing;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // executableDir (empty: the directory of the running executable) decides where conf.ini,
    // the CSV file and by default the pictures are (settings/file_locations.h).
    explicit MainWindow(QString executableDir = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // The 615 x 696 pixel client area below the menu bar that holds every control.
    QWidget* clientArea() const { return clientArea_; }
    const RecordTable& records() const { return records_; }
    // The status line.
    QLabel* statusLine() const { return controls_.statusLine; }
    const MainWindowControls& controls() const { return controls_; }
    const MainWindowMenu& menu() const { return menu_; }
    BarChart& chart() const { return *chart_; }
    const FileLocations& locations() const { return locations_; }
    // The picture prefix from conf.ini (default: the data directory and "/").
    const QString& imagePath() const { return imagePath_; }
    const WindowCapture& capture() const { return capture_; }
    InfoDialog* infoDialog() const { return infoDialog_; }
    // "TLM File", "Share Frames" and the Sharing Status window.
    WindowSharing& sharing() const { return *sharing_; }
    // The Mission History window while it is open.
    HistoryWindow* historyWindow() const { return historyWindow_; }

    // How message boxes are shown: by default a modal QMessageBox with one OK button. Tests put
    // a recorder here.
    using MessagePresenter =
        std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;
    void setMessagePresenter(MessagePresenter presenter) { showMessage_ = std::move(presenter); }
    // How "Save Chart As..." asks for the file: by default a file dialog that starts at
    // `suggestedPath`; an empty answer cancels. Tests put a fixed answer here.
    using SaveFileNameAsker = std::function<QString(const QString& suggestedPath)>;
    void setSaveFileNameAsker(SaveFileNameAsker asker) { askSaveFileName_ = std::move(asker); }

    // Log files. Opening puts a file's text into the input box in one change (one undo step), and
    // intake does the rest, exactly as for a paste. Several files are joined in the order
    // given; lines longer than the box takes are skipped, and the status line says so. A file
    // that cannot be opened gets a message box and changes nothing. Returns whether the files
    // were opened.
    bool openLogFile(const QString& path) { return openLogFiles({path}); }
    bool openLogFiles(const QStringList& paths);
    // "File", "Follow Log File": while on, complete lines appended to the last opened file
    // are added to the input box, before a line the user is still typing. The file is followed
    // by its name: one gone is watched for and read from its start when it comes back.
    void setFollowing(bool on);
    bool isFollowing() const;
    // Looks at the followed file now, as the periodic check does; a file missing on two such
    // checks in a row is taken as gone. A file system watcher calls it with countAbsence false.
    void checkFollowedFile(bool countAbsence = true);
    // How "Open Log File..." asks for a file: by default a file dialog. Tests put a stub here.
    using FileChooser = std::function<QString(QWidget* parent)>;
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    // How the history's "Export..." asks for the file: by default a file dialog; an empty
    // answer cancels. Tests put a fixed answer here.
    using ExportFileAsker = std::function<QString(QWidget* parent)>;
    void setHistoryExportAsker(ExportFileAsker asker) { askHistoryExportName_ = std::move(asker); }

    // The window's command line, orvalin-decoder [--follow] [FILE...]: opens (and follows) the
    // files once the window is shown.
    void applyCommandLine(const WindowOptions& options);

public slots:
    // After every change of the text of the input box: rebuilds the table from the whole text and
    // refreshes navigator, selection, record view and chart.
    void onLogTextChanged();
    // After every change of the navigator's value (not while its thumb is dragged).
    void onNavigatorChanged();
    // When the button of `channel` becomes selected, by the user or by the program.
    void onChannelSelected(int channel);
    // Shows the record in slot `recordNumber` in the value boxes and the date/time label.
    void showRecord(int recordNumber);
    // Plots one channel over all records.
    void drawChart(int channel);

    // Once, at the end of construction, before the window is first shown.
    void load();
    // When the window is first shown and whenever its client area changes size.
    void fitCaptureBuffer();
    // "File", "Exit": closes the window.
    void onExit();
    // "TLM File", "Write CSV File".
    void onWriteCsvFile();
    // The "S" button: a picture of the window.
    void onScreenshot();
    // "Info" on the menu bar.
    void onInfo();
    // A click on the chart's bar of record `row`, or the keys on the focused chart choosing
    // it: the navigator moves there.
    void onChartBarClicked(int row);
    // The chart's context menu: "Save Chart As..." (the file's extension chooses PNG, SVG or
    // PDF; any other is saved as PNG with ".png" added) and "Copy Chart" (image to clipboard).
    void onSaveChartAs();
    void onCopyChart();
    // "File", "Open Log File...".
    void onOpenLogFile();
    // "File", "Follow Log File" turned on or off.
    void onFollowLogToggled(bool on);
    // "TLM File", "Mission History...": the window of every frame the station archive holds.
    void onMissionHistory();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Files dropped anywhere on the window are opened; dropped text goes where Qt puts it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wireEvents();
    // The line breaks of the input box as CR LF, the separator of log lines.
    void readLogText();
    void showLeftOutLines(int leftOut);
    // Marks the chart's bar of the record the navigator shows, if it shows one.
    void markShownRecord();
    // The log file entries of the "File" menu, file drops, the follow timer and watcher.
    void setUpLogFiles();
    void replaceLogInput(const QString& text);
    // A follow update: `lines` replace the lines of the file in the box (the file was read
    // again; the lines the user typed stay) or follow them; then the oldest lines leave the top,
    // so that the box keeps the newest log lines. `linesLeftOut` older lines of the update never
    // entered the box.
    void takeFollowedLines(const QString& lines, int linesLeftOut, bool replace);
    // After a change of the box's text by the user: the lines it made or changed are typed lines.
    void markTypedLines(int from, int removed, int added);
    // The status line's notice about the followed file. `news` (the file is gone, or lines were
    // skipped) replaces whatever the status line shows; otherwise the notice changes only while
    // it is the status line's last message.
    void showFollowNotice(bool news = false);
    void watchFollowedFile();
    // A followed file gone, or one whose following had ended: opens it anew by its name, to be
    // read from its start. Whether it is followed now.
    bool followAgainFromStart();
    void stopFollowing(const Failure& failure);
    // Keeping and sharing the frames (main_window_sharing.cpp): the menu entries, the settings
    // of conf.ini at start, the text of every intake but keystrokes, and the Mission History
    // window.
    void setUpSharing();
    void keepIntake(const QString& text);
    void exportHistoryRange(qint64 fromUtc, qint64 untilUtc);

    RecordTable records_;
    MainWindowMenu menu_;
    FileLocations locations_;
    QString imagePath_;
    WindowCapture capture_;
    QPointer<InfoDialog> infoDialog_;
    MessagePresenter showMessage_;
    SaveFileNameAsker askSaveFileName_;
    QString chartDir_;  // where the last chart was saved; empty: the picture directory
    QWidget* clientArea_ = nullptr;
    MainWindowControls controls_;
    BarChart* chart_ = nullptr;  // owned by its plot, chartWidget
    std::unique_ptr<RecordView> recordView_;
    std::unique_ptr<ChannelSelection> channelSelection_;
    QString logText_;        // reused from intake to intake
    QString leftOutNotice_;  // the status line text about lines beyond the table, if shown
    FileChooser chooseFile_;
    // The last opened log file, followed from where its text in the input box ends while
    // the follow entry is ticked, and its unfinished last line as the box shows it (if it does).
    // Null while the followed file is gone, and once its following ended.
    std::unique_ptr<LogFollower> logFile_;
    QString logFilePath_;
    QString shownUnfinishedLine_;
    // What the follow notice tells, and where the follower's lines stand.
    struct FollowState {
        int linesLeft = 0;         // the older lines of the followed file that left the box
        int longLinesSkipped = 0;  // lines longer than the box takes, never put in
        bool readAgain = false;    // the file was read again from its start
        bool gone = false;         // watched for until it comes back
        bool fromStart = false;    // opened anew: the next lines replace the file's lines
        bool inLongLine = false;   // the follower's next bytes end a line being skipped
    } follow_;
    QString followNotice_;         // the status line text about the followed file, if shown
    bool takingFileText_ = false;  // the program, not the user, changes the box's text
    QFileSystemWatcher* fileWatcher_ = nullptr;
    QTimer* followTimer_ = nullptr;  // checks the size too: not every file system sends notices
    WindowSharing* sharing_ = nullptr;
    QPointer<HistoryWindow> historyWindow_;
    QPointer<HistoryLoader> historyLoader_;
    ExportFileAsker askHistoryExportName_;
};

}  // namespace orvalin
