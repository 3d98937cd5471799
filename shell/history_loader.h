// Reads the station archive for the Mission History window in a thread of its own, so that the
// window, and the main window, answer while a million frames come in.
//
//   archive (read-only, one snapshot) --batches of frames with a UTC instant--> HistoryWindow
//   frames the main window keeps meanwhile --live()--> HistoryWindow, each frame once
//
// A frame kept while the archive is read may reach the window both ways; the keys of the live
// frames are remembered until the reading ends, and the batches leave them out.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <atomic>
#include <unordered_set>
#include <vector>

#include "archive/frame_archive.h"
#include "views/history_series.h"

namespace orvalin {

class HistoryWindow;

struct HistoryBatch {
    std::vector<HistoryFrame> frames;
    std::vector<FrameKey> keys;
};

class HistoryLoader : public QObject {
    Q_OBJECT
public:
    // Starts reading `archivePath` into `window` at once.
    HistoryLoader(QString archivePath, HistoryWindow* window, QObject* parent = nullptr);
    ~HistoryLoader() override;

    // Frames new to the archive, as the main window keeps them.
    void live(const QList<StoredFrame>& frames);

private:
    void take(const HistoryBatch& batch);
    void done(const QString& failure);

    QPointer<HistoryWindow> window_;
    std::atomic<bool> cancelled_{false};  // the reader stops at its next frame
    QThread thread_;
    bool loading_ = true;
    struct KeyHash {
        std::size_t operator()(const FrameKey& k) const {
            return std::hash<qint64>()(k.utc * 1048583 + k.seq);
        }
    };
    std::unordered_set<FrameKey, KeyHash> liveKeys_;  // while loading
};

}  // namespace orvalin

Q_DECLARE_METATYPE(orvalin::HistoryBatch)
