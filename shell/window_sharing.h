// Sharing in the window: "TLM File", "Share Frames" and "Sharing Status...".
//
//   intake text (paste, open, drop, follow) --scanLogFrames--> frames
//        --queued call--> SharingService in a worker thread (archive, posts)
//        --statusChanged--> the Sharing Status window; a stop for an archive fault also on the
//                           status line
//
// The event thread only cuts the frames out of the text; the archive and the network are the
// worker's, so the window never waits on either. With sharing off the frames are only kept,
// and with ARCHIVE=NO as well nothing is written.
#pragma once

#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

#include "settings/conf_ini.h"
#include "sharing/sharing_service.h"

class QAction;
class QLabel;

namespace orvalin {

inline constexpr char ShareFramesTitle[] = "Share Frames";
inline constexpr char SharingStatusTitle[] = "Sharing Status";

// The Sharing Status window: what the archive holds for the server, and the last trouble.
class SharingStatusDialog : public QDialog {
    Q_OBJECT
public:
    explicit SharingStatusDialog(QWidget* parent = nullptr);
    void showStatus(const SharingStatus& status, const QString& server, const QString& archivePath);
    // The text of the value of a row ("Sent", "Waiting", ...), for the tests.
    QString valueText(const QString& row) const;

private:
    QList<std::pair<QString, QLabel*>> rows_;
};

class WindowSharing : public QObject {
    Q_OBJECT
public:
    // How a setting problem is told (the window's message box).
    using Warn = std::function<void(const QString& title, const QString& text)>;
    // `shareAction` ("Share Frames", checkable) turns sharing on and off, `statusAction` shows
    // the Sharing Status window; `archivePath` is the station archive. `readSettings` gives the
    // conf.ini entries as they stand now; `note` puts a text on the status line.
    WindowSharing(QAction* shareAction, QAction* statusAction, QString archivePath,
                  std::function<QList<ConfIniEntry>()> readSettings, Warn warn,
                  std::function<void(const QString&)> note, QObject* parent = nullptr);
    ~WindowSharing() override;

    QAction* shareAction() const { return shareAction_; }
    QAction* statusAction() const { return statusAction_; }
    const SharingStatus& status() const { return status_; }
    SharingStatusDialog* statusDialog() const { return dialog_; }

    // At start: keeps every frame taken in from now on (unless conf.ini says ARCHIVE=NO), and
    // shares them when it says SHARE=YES; a setting that keeps sharing off is said once the
    // window runs.
    void start(const QList<ConfIniEntry>& entries);
    // The text of an intake: its frames are kept, and shared while sharing is on.
    void takeIntake(const QString& text);

signals:
    void statusChanged(const orvalin::SharingStatus& status);
    // Frames new to the archive, with their UTC instants.
    void framesKept(const QList<orvalin::StoredFrame>& frames);

private:
    void onToggled(bool on);
    // Replaces the service by one that keeps frames (as the station's settings say) and shares
    // them when `share`; none when it would do neither.
    void startService(const StationSettings& station, bool share);
    void stopService(Qt::ConnectionType connection = Qt::QueuedConnection);
    void onStatus(const SharingStatus& status);

    QAction* shareAction_ = nullptr;
    QAction* statusAction_ = nullptr;
    std::function<QList<ConfIniEntry>()> readSettings_;
    Warn warn_;
    std::function<void(const QString&)> note_;
    QThread worker_;
    QPointer<SharingService> service_;  // lives in worker_
    int generation_ = 0;                // of service_
    QString server_;
    QString archivePath_;
    SharingStatus status_;
    QPointer<SharingStatusDialog> dialog_;
};

}  // namespace orvalin
