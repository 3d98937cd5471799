#include "shell/history_loader.h"

#include "shell/history_window.h"

namespace orvalin {

namespace {

// Frames handed to the window at a time: big enough that the merges are few, small enough
// that the window draws the first of a large archive soon.
constexpr std::size_t BatchFrames = 50000;

// Reads in its own thread and hands the batches over by queued signals.
class ArchiveReader : public QObject {
    Q_OBJECT
public:
    ArchiveReader(QString path, std::atomic<bool>& cancelled)
        : path_(std::move(path)), cancelled_(cancelled) {}

    void read() {
        auto opened = FrameArchive::open(path_, {.readOnly = true});
        if (!opened) {
            // A station that kept nothing yet has no archive: that is no trouble.
            emit finished(opened.failure().kind == FailureKind::Missing ? QString()
                                                                        : opened.failure().text);
            return;
        }
        // Counted first, so that the window makes room for all of them at once.
        const Result<qint64> count = (*opened)->count(std::numeric_limits<qint64>::min(), NoUtc);
        if (count) emit sizeKnown(*count);
        HistoryBatch batch;
        const auto handOver = [&] {
            emit batchRead(batch);
            batch = {};
            batch.frames.reserve(BatchFrames);
            batch.keys.reserve(BatchFrames);
        };
        batch.frames.reserve(BatchFrames);
        batch.keys.reserve(BatchFrames);
        const Result<> read = (*opened)->read(
            std::numeric_limits<qint64>::min(), NoUtc, false, [&](const StoredFrame& stored) {
                batch.frames.push_back({.utc = *stored.utc, .bytes = stored.frame.bytes});
                batch.keys.push_back(stored.key);
                if (batch.frames.size() == BatchFrames) handOver();
                return !cancelled_;
            });
        if (!batch.frames.empty()) handOver();
        emit finished(read ? QString() : read.failure().text);
    }

signals:
    void sizeKnown(qint64 frames);
    void batchRead(const orvalin::HistoryBatch& batch);
    void finished(const QString& failure);

private:
    QString path_;
    std::atomic<bool>& cancelled_;
};

}  // namespace

HistoryLoader::HistoryLoader(QString archivePath, HistoryWindow* window, QObject* parent)
    : QObject(parent), window_(window) {
    qRegisterMetaType<HistoryBatch>();
    auto* reader = new ArchiveReader(std::move(archivePath), cancelled_);
    reader->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &ArchiveReader::sizeKnown, this, [this](qint64 frames) {
        if (window_) window_->expectFrames(static_cast<std::size_t>(frames));
    });
    connect(reader, &ArchiveReader::batchRead, this, &HistoryLoader::take);
    connect(reader, &ArchiveReader::finished, this, &HistoryLoader::done);
    if (window_) window_->setLoading(true);
    thread_.setObjectName(QStringLiteral("history"));
    thread_.start();
    QMetaObject::invokeMethod(reader, &ArchiveReader::read, Qt::QueuedConnection);
}

HistoryLoader::~HistoryLoader() {
    cancelled_ = true;
    thread_.quit();
    thread_.wait();
}

void HistoryLoader::live(const QList<StoredFrame>& frames) {
    if (!window_) return;
    std::vector<HistoryFrame> shown;
    for (const StoredFrame& stored : frames) {
        if (!stored.utc) continue;  // a frame without a time has no place on the time axis
        if (loading_) liveKeys_.insert(stored.key);
        shown.push_back({.utc = *stored.utc, .bytes = stored.frame.bytes});
    }
    window_->addFrames(std::move(shown));
}

void HistoryLoader::take(const HistoryBatch& batch) {
    if (!window_) return;
    std::vector<HistoryFrame> frames;
    frames.reserve(batch.frames.size());
    for (std::size_t i = 0; i < batch.frames.size(); ++i) {
        if (!liveKeys_.empty() && liveKeys_.count(batch.keys[i]) > 0) continue;
        frames.push_back(batch.frames[i]);
    }
    window_->addFrames(std::move(frames));
}

void HistoryLoader::done(const QString& failure) {
    loading_ = false;
    liveKeys_.clear();
    if (!window_) return;
    window_->setLoading(false);
    if (!failure.isEmpty()) window_->setNote(failure);
}

}  // namespace orvalin

#include "history_loader.moc"
