#include "shell/window_sharing.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "decoder/log_scan.h"
#include "settings/program_version.h"

namespace orvalin {

namespace {

constexpr const char* StatusRows[] = {"Sharing",  "Server",       "Sent",     "Waiting",
                                      "Rejected", "Last failure", "Next try", "Archive"};

QString countText(qint64 count) {
    return QLocale().toString(count);
}

}  // namespace

SharingStatusDialog::SharingStatusDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SharingStatus"));
    setWindowTitle(QString::fromLatin1(SharingStatusTitle));
    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    for (const char* row : StatusRows) {
        auto* value = new QLabel(this);
        value->setObjectName(QStringLiteral("SharingStatus") +
                             QString::fromLatin1(row).remove(u' '));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        // Paths and addresses stay on one line; the texts of trouble may run longer.
        value->setWordWrap(qstrcmp(row, "Sharing") == 0 || qstrcmp(row, "Last failure") == 0);
        auto* caption = new QLabel(QString::fromLatin1(row) + u':', this);
        caption->setBuddy(value);
        form->addRow(caption, value);
        rows_.append({QString::fromLatin1(row), value});
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void SharingStatusDialog::showStatus(const SharingStatus& status, const QString& server,
                                     const QString& archivePath) {
    const auto set = [this](const char* row, const QString& text) {
        for (const auto& [name, label] : rows_)
            if (name == QLatin1String(row)) label->setText(text);
    };
    set("Sharing", status.on                   ? QStringLiteral("On")
                   : !status.stopped.isEmpty() ? status.stopped
                                               : QStringLiteral("Off"));
    set("Server", server.isEmpty() ? QStringLiteral("-") : server);
    set("Sent", countText(status.sent));
    set("Waiting", countText(status.waiting));
    set("Rejected", countText(status.rejected));
    set("Last failure", status.lastFailure.isEmpty() ? QStringLiteral("None") : status.lastFailure);
    set("Next try", status.nextTry.isValid() ? status.nextTry.toLocalTime().toString(
                                                   QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                             : QStringLiteral("-"));
    set("Archive", status.note.isEmpty() ? archivePath : archivePath + u'\n' + status.note);
}

QString SharingStatusDialog::valueText(const QString& row) const {
    for (const auto& [name, label] : rows_)
        if (name == row) return label->text();
    return {};
}

WindowSharing::WindowSharing(QAction* shareAction, QAction* statusAction, QString archivePath,
                             std::function<QList<ConfIniEntry>()> readSettings, Warn warn,
                             std::function<void(const QString&)> note, QObject* parent)
    : QObject(parent),
      shareAction_(shareAction),
      statusAction_(statusAction),
      readSettings_(std::move(readSettings)),
      warn_(std::move(warn)),
      note_(std::move(note)) {
    qRegisterMetaType<SharingStatus>();
    qRegisterMetaType<QList<ReceivedFrame>>();
    connect(shareAction_, &QAction::toggled, this, &WindowSharing::onToggled);
    connect(statusAction_, &QAction::triggered, this, [this] {
        if (!dialog_) {
            auto* parentWidget = qobject_cast<QWidget*>(this->parent());
            dialog_ = new SharingStatusDialog(parentWidget ? parentWidget->window() : nullptr);
            dialog_->setAttribute(Qt::WA_DeleteOnClose);
        }
        dialog_->showStatus(status_, server_, archivePath_);
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
    });
    archivePath_ = std::move(archivePath);
    worker_.setObjectName(QStringLiteral("sharing"));
    worker_.start();
}

WindowSharing::~WindowSharing() {
    // Stopped before the worker ends, which may not run what is still queued.
    stopService(Qt::BlockingQueuedConnection);
    worker_.quit();
    worker_.wait();
}

void WindowSharing::start(const QList<ConfIniEntry>& entries) {
    const StationSettings station = stationSettingsFrom(entries);
    const QStringList missing = missingSettings(station);
    const bool share = station.shareAtStart && missing.isEmpty();
    if (station.shareAtStart && !missing.isEmpty()) {
        // Once the window runs, so that the message has a window to belong to.
        QTimer::singleShot(0, this, [this, missing] {
            warn_(QString::fromLatin1(ShareFramesTitle),
                  sharingNeedsText(missing) +
                      QStringLiteral("\n\nSharing stays off. Fix conf.ini and choose Share Frames "
                                     "again."));
        });
    }
    // Before any intake: the frames of a log opened at start are kept and shared too.
    const QSignalBlocker quiet(shareAction_);
    shareAction_->setChecked(share);
    startService(station, share);
}

void WindowSharing::takeIntake(const QString& text) {
    if (!service_) return;
    QList<ReceivedFrame> frames = scanLogFrames(text);
    if (frames.isEmpty()) return;
    QMetaObject::invokeMethod(service_, "addFrames", Qt::QueuedConnection,
                              Q_ARG(QList<orvalin::ReceivedFrame>, frames));
}

void WindowSharing::onToggled(bool on) {
    // conf.ini as it stands now: a setting fixed meanwhile counts.
    const StationSettings station = stationSettingsFrom(readSettings_());
    if (!on) return startService(station, false);
    if (const QStringList missing = missingSettings(station); !missing.isEmpty()) {
        const QSignalBlocker quiet(shareAction_);
        shareAction_->setChecked(false);
        warn_(QString::fromLatin1(ShareFramesTitle),
              sharingNeedsText(missing) +
                  QStringLiteral("\n\nSharing stays off. Fix conf.ini and choose Share Frames "
                                 "again."));
        return;
    }
    startService(station, true);
}

void WindowSharing::startService(const StationSettings& station, bool share) {
    stopService();
    status_.stopped.clear();
    server_ = station.shareUrl.toString(QUrl::RemoveUserInfo);
    if (!share && !station.keepFrames) return;
    // Kept with an instant worked out in the wrong zone, a frame would keep a wrong time.
    if (const QString badZone = badLogTimeZone(station); !badZone.isEmpty()) {
        note_(QStringLiteral("Frames are not kept: %1 in conf.ini.").arg(badZone));
        return;
    }
    SharingOptions options;
    options.archivePath = archivePath_;
    options.station = station;
    options.share = share;
    options.version = QString::fromLatin1(ProgramVersion);
    auto* service = new SharingService(std::move(options));
    service->moveToThread(&worker_);
    const int generation = ++generation_;
    connect(
        service, &SharingService::statusChanged, this,
        [this, generation](const SharingStatus& status) {
            // Statuses of a service already stopped may still be on their way.
            if (generation == generation_ && service_) onStatus(status);
        },
        Qt::QueuedConnection);
    connect(service, &SharingService::framesKept, this, &WindowSharing::framesKept,
            Qt::QueuedConnection);
    service_ = service;
    QMetaObject::invokeMethod(service, &SharingService::start, Qt::QueuedConnection);
}

void WindowSharing::stopService(Qt::ConnectionType connection) {
    if (!service_) return;
    SharingService* service = service_;
    service_ = nullptr;
    // Stopped and deleted in its own thread, after the calls queued before.
    QMetaObject::invokeMethod(
        service,
        [service] {
            service->stop();
            delete service;
        },
        connection);
    status_.on = false;
    status_.nextTry = {};
    if (dialog_) dialog_->showStatus(status_, server_, archivePath_);
    emit statusChanged(status_);
}

void WindowSharing::onStatus(const SharingStatus& status) {
    const bool wasStopped = !status_.stopped.isEmpty();
    status_ = status;
    if (!status.stopped.isEmpty()) {
        if (!wasStopped) note_(status.stopped);
        const QSignalBlocker quiet(shareAction_);
        shareAction_->setChecked(status.on);
    }
    if (dialog_) dialog_->showStatus(status_, server_, archivePath_);
    emit statusChanged(status_);
}

}  // namespace orvalin
