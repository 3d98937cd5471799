#include "shell/history_window.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "decoder/number_text.h"
#include "shell/main_window_layout.h"
#include "views/history_chart.h"
#include "views/history_pass_table.h"

namespace orvalin {

namespace {

struct RangeButton {
    HistoryRange range;
    const char* name;  // object name
    const char* text;
};

constexpr std::array<RangeButton, 4> RangeButtons = {{
    {.range = HistoryRange::LastPass, .name = "HistoryLastPass", .text = "&Last Pass"},
    {.range = HistoryRange::Last24Hours, .name = "History24Hours", .text = "&24 Hours"},
    {.range = HistoryRange::Last7Days, .name = "History7Days", .text = "&7 Days"},
    {.range = HistoryRange::Everything, .name = "HistoryEverything", .text = "&Everything"},
}};

QDateTime utcDateTime(double seconds) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC);
}

QDateTimeEdit* utcEdit(const char* name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(HistorySeries::UtcTimeFormat);
    edit->setCalendarPopup(true);
    return edit;
}

}  // namespace

HistoryWindow::HistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("MissionHistory"));
    setWindowTitle(QString::fromLatin1(MissionHistoryTitle));
    setWindowIcon(programIcon());
    buildControls();
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(RefreshMilliseconds);
    connect(refreshTimer_, &QTimer::timeout, this, &HistoryWindow::refresh);
    // Escape closes the window, as it closes the Info window.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    resize(1120, 720);
    refresh();
}

HistoryWindow::~HistoryWindow() {
    // The chart and the pass list read the series, a member, which goes before the children.
    delete chart_;
    delete passView_;
}

void HistoryWindow::buildControls() {
    // Top row: the channel, the named ranges, From and To.
    channelBox_ = new QComboBox(this);
    channelBox_->setObjectName(QStringLiteral("HistoryChannel"));
    for (const ChannelInfo& info : ChannelCatalogue)
        channelBox_->addItem(HistorySeries::channelText(info.caption));
    channelBox_->setCurrentIndex(DefaultChannel);
    channelBox_->setMaxVisibleItems(ChannelCount);
    auto* channelLabel = new QLabel(QStringLiteral("&Channel:"), this);
    channelLabel->setBuddy(channelBox_);

    auto* top = new QHBoxLayout;
    top->addWidget(channelLabel);
    top->addWidget(channelBox_);
    top->addSpacing(16);
    for (const RangeButton& entry : RangeButtons) {
        auto* button = new QPushButton(QString::fromLatin1(entry.text), this);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setCheckable(true);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, range = entry.range] {
            fromToEdited_ = false;
            chart_->showNamedRange(range);
            updateRangeButtons();
        });
        rangeButtons_[static_cast<std::size_t>(entry.range)] = button;
        top->addWidget(button);
    }
    top->addSpacing(16);
    fromEdit_ = utcEdit("HistoryFrom", this);
    toEdit_ = utcEdit("HistoryTo", this);
    auto* fromLabel = new QLabel(QStringLiteral("&From:"), this);
    fromLabel->setBuddy(fromEdit_);
    auto* toLabel = new QLabel(QStringLiteral("&To:"), this);
    toLabel->setBuddy(toEdit_);
    auto* showButton = new QPushButton(QStringLiteral("S&how"), this);
    showButton->setObjectName(QStringLiteral("HistoryShow"));
    showButton->setAutoDefault(false);
    fromEdit_->setAccessibleName(QStringLiteral("From, UTC"));
    toEdit_->setAccessibleName(QStringLiteral("To, UTC"));
    for (QWidget* widget : {static_cast<QWidget*>(fromLabel), static_cast<QWidget*>(fromEdit_),
                            static_cast<QWidget*>(toLabel), static_cast<QWidget*>(toEdit_),
                            static_cast<QWidget*>(showButton)})
        top->addWidget(widget);
    top->addStretch(1);
    for (QDateTimeEdit* edit : {fromEdit_, toEdit_}) {
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] { fromToEdited_ = true; });
        // Return in either field shows the range, as the button does.
        connect(edit, &QAbstractSpinBox::editingFinished, this, [this, edit] {
            if (edit->hasFocus() && fromToEdited_) showFromTo();
        });
    }
    connect(showButton, &QPushButton::clicked, this, &HistoryWindow::showFromTo);

    // The chart above the pass list, the picked frame beside both.
    chart_ = new HistoryChart(series_, this);
    chart_->setObjectName(QStringLiteral("HistoryChart"));
    chart_->setMinimumSize(480, 260);
    passTable_ = new HistoryPassTable(series_, this);
    passView_ = new QTableView(this);
    passView_->setObjectName(QStringLiteral("HistoryPasses"));
    passView_->setAccessibleName(QStringLiteral("Passes"));
    passView_->setModel(passTable_);
    passView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    passView_->setSelectionMode(QAbstractItemView::SingleSelection);
    passView_->setAlternatingRowColors(true);
    passView_->setWordWrap(false);
    // Tab leaves the list, as it leaves every other control; the arrows move within it.
    passView_->setTabKeyNavigation(false);
    passView_->verticalHeader()->hide();
    passView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    passView_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    passView_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    passView_->horizontalHeader()->setHighlightSections(false);
    connect(passView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) onPassChosen(current.row());
            });
    // A click or Return on the current row shows its pass again after another range.
    for (auto signal : {&QAbstractItemView::clicked, &QAbstractItemView::activated})
        connect(passView_, signal, this,
                [this](const QModelIndex& index) { onPassChosen(index.row()); });

    auto* passBox = new QWidget(this);
    auto* passLayout = new QVBoxLayout(passBox);
    passLayout->setContentsMargins(0, 0, 0, 0);
    auto* passLabel = new QLabel(QStringLiteral("&Passes (frames more than 15 minutes apart "
                                                "start a new pass):"),
                                 passBox);
    passLabel->setBuddy(passView_);
    passLayout->addWidget(passLabel);
    passLayout->addWidget(passView_);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(chart_);
    split->addWidget(passBox);
    split->setChildrenCollapsible(false);
    // The chart takes most of the height; the list shows a few passes and scrolls.
    split->setStretchFactor(0, 1);
    split->setSizes({440, 200});

    auto* picked = new QGroupBox(QStringLiteral("Picked Frame"), this);
    picked->setObjectName(QStringLiteral("HistoryPicked"));
    auto* grid = new QGridLayout(picked);
    grid->setVerticalSpacing(1);
    grid->setHorizontalSpacing(10);
    pickedTime_ = new QLabel(QStringLiteral("None yet"), picked);
    pickedTime_->setObjectName(QStringLiteral("HistoryPickedTime"));
    pickedTime_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = pickedTime_->font();
    bold.setBold(true);
    pickedTime_->setFont(bold);
    // As wide as a time, so that the panel keeps its width when the first frame is picked.
    pickedTime_->setMinimumWidth(
        QFontMetrics(bold).horizontalAdvance(QStringLiteral("0000-00-00 00:00:00 UTC")));
    pickedTime_->setToolTip(QStringLiteral("Click a point of the chart, or press Return on it"));
    grid->addWidget(pickedTime_, 0, 0, 1, 3);
    grid->setRowMinimumHeight(1, 4);
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const ChannelInfo& info = ChannelCatalogue[static_cast<std::size_t>(c)];
        auto* value = new QLabel(picked);
        value->setObjectName(QStringLiteral("HistoryValue%1").arg(c));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-0000.0")));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        pickedValues_[static_cast<std::size_t>(c)] = value;
        grid->addWidget(new QLabel(HistorySeries::channelText(info.caption), picked), c + 2, 0);
        grid->addWidget(value, c + 2, 1);
        grid->addWidget(new QLabel(HistorySeries::channelText(info.unit).trimmed(), picked), c + 2,
                        2);
    }
    grid->setRowStretch(ChannelCount + 2, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(split, 1);
    middle->addWidget(picked);

    // Bottom row: the status and Export.
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("HistoryStatus"));
    exportButton_ = new QPushButton(QStringLiteral("E&xport..."), this);
    exportButton_->setObjectName(QStringLiteral("HistoryExport"));
    exportButton_->setAutoDefault(false);
    exportButton_->setToolTip(
        QStringLiteral("Writes the frames of the shown range as CSV or JSON Lines"));
    connect(exportButton_, &QPushButton::clicked, this, &HistoryWindow::exportShown);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(exportButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);

    connect(channelBox_, &QComboBox::currentIndexChanged, this, &HistoryWindow::onChannelChosen);
    connect(chart_, &HistoryChart::shownRangeChanged, this, &HistoryWindow::onShownRangeChanged);
    connect(chart_, &HistoryChart::framePicked, this, &HistoryWindow::showPicked);
    // Tab goes through the window as the eye reads it: top row, chart, passes, Export.
    setTabOrder(showButton, chart_);
    setTabOrder(chart_, passView_);
    setTabOrder(passView_, exportButton_);
    onShownRangeChanged(chart_->shownRange());
}

void HistoryWindow::addFrames(std::vector<HistoryFrame> frames) {
    if (frames.empty()) return;
    series_.add(std::move(frames));
    passesChangedFrom_ = std::min(passesChangedFrom_, series_.passesChangedFrom());
    if (!refreshTimer_->isActive()) refreshTimer_->start();
}

void HistoryWindow::expectFrames(std::size_t frames) {
    // With room for a good while of live growth beyond them: room that no frame has used is
    // address space only, not memory.
    series_.reserve(series_.size() + frames + frames / 4 + 4096);
}

void HistoryWindow::setLoading(bool loading) {
    loading_ = loading;
    status_->setText(statusText());
}

void HistoryWindow::setExporter(Exporter exporter) {
    exporter_ = std::move(exporter);
    exportButton_->setEnabled(exporter_ && !series_.empty());
}

void HistoryWindow::setNote(const QString& note) {
    note_ = note;
    status_->setText(statusText());
}

QString HistoryWindow::statusText() const {
    if (loading_) return QStringLiteral("Loading...");
    if (!note_.isEmpty()) return note_;
    if (series_.empty()) return QStringLiteral("No frames in the archive yet");
    if (series_.size() == 1) return QStringLiteral("1 frame");
    return QStringLiteral("%1 frames")
        .arg(QLocale().toString(static_cast<qulonglong>(series_.size())));
}

void HistoryWindow::refresh() {
    if (passesChangedFrom_ != std::numeric_limits<std::size_t>::max())
        passTable_->passesChanged(passesChangedFrom_);
    passesChangedFrom_ = std::numeric_limits<std::size_t>::max();
    chart_->framesChanged();
    status_->setText(statusText());
    exportButton_->setEnabled(exporter_ && !series_.empty());
    updateRangeButtons();
}

void HistoryWindow::onChannelChosen(int channel) {
    chart_->setChannel(channel);
    passTable_->setChannel(channel);
}

void HistoryWindow::onShownRangeChanged(TimeRange range) {
    updateRangeButtons();
    if (fromToEdited_) return;
    const QSignalBlocker quietFrom(fromEdit_);
    const QSignalBlocker quietTo(toEdit_);
    fromEdit_->setDateTime(utcDateTime(std::floor(range.from)));
    toEdit_->setDateTime(utcDateTime(std::ceil(range.until)));
}

void HistoryWindow::updateRangeButtons() {
    const auto followed = chart_->followedRange();
    for (const RangeButton& entry : RangeButtons)
        rangeButtons_[static_cast<std::size_t>(entry.range)]->setChecked(followed == entry.range);
}

void HistoryWindow::onPassChosen(int row) {
    if (row < 0 || row >= passTable_->rowCount()) return;
    fromToEdited_ = false;
    chart_->showPass(series_.passes()[passTable_->passOfRow(row)]);
}

void HistoryWindow::showFromTo() {
    fromToEdited_ = false;
    chart_->showRange({.from = static_cast<double>(fromEdit_->dateTime().toSecsSinceEpoch()),
                       .until = static_cast<double>(toEdit_->dateTime().toSecsSinceEpoch())});
}

void HistoryWindow::showPicked(std::size_t index) {
    const HistoryFrame& frame = series_.frame(index);
    pickedTime_->setText(HistorySeries::utcText(frame.utc));
    const QChar separator = localeDecimalSeparator();
    for (ChannelIndex c = 0; c < ChannelCount; ++c)
        pickedValues_[static_cast<std::size_t>(c)]->setText(
            formatOneDecimal(series_.value(c, index), separator));
}

void HistoryWindow::exportShown() {
    if (!exporter_) return;
    const TimeRange range = chart_->shownRange();
    exporter_(static_cast<qint64>(std::ceil(range.from)),
              static_cast<qint64>(std::floor(range.until)));
}

}  // namespace orvalin
