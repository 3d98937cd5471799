#include "archive/read_ahead.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace orvalin {

namespace {

// Batches read and not yet taken: one being written while the next waits is enough to keep
// both threads busy.
constexpr std::size_t BatchesAhead = 2;

using Batch = std::vector<StoredFrame>;

}  // namespace

Result<> readAhead(FrameArchive& archive, qint64 fromUtc, qint64 untilUtc, bool untimed,
                   const std::function<bool(const StoredFrame&)>& take, std::size_t batchSize) {
    batchSize = std::max<std::size_t>(batchSize, 1);
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> ready;   // read, in order, waiting to be taken
    std::vector<Batch> spare;  // taken, handed back to be filled again
    bool readingDone = false;
    bool stopped = false;  // `take` wanted no more
    Result<> readResult;

    std::thread reader([&] {
        Batch batch;
        batch.reserve(batchSize);
        // Hands the filled batch on, waiting while enough are ahead; false once `take` stopped.
        const auto handOn = [&] {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stopped || ready.size() < BatchesAhead; });
            if (stopped) return false;
            ready.push_back(std::move(batch));
            if (spare.empty()) {
                batch = Batch();
                batch.reserve(batchSize);
            } else {
                batch = std::move(spare.back());
                spare.pop_back();
            }
            changed.notify_all();
            return true;
        };
        Result<> read = archive.read(fromUtc, untilUtc, untimed, [&](const StoredFrame& frame) {
            batch.push_back(frame);
            return batch.size() < batchSize || handOn();
        });
        if (read && !batch.empty()) (void)handOn();
        const std::lock_guard lock(mutex);
        readResult = std::move(read);
        readingDone = true;
        changed.notify_all();
    });

    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return readingDone || !ready.empty(); });
            if (ready.empty()) break;
            batch = std::move(ready.front());
            ready.pop_front();
            changed.notify_all();
        }
        bool more = true;
        for (const StoredFrame& frame : batch) {
            if (!(more = take(frame))) break;
        }
        batch.clear();
        const std::lock_guard lock(mutex);
        spare.push_back(std::move(batch));
        if (!more) {
            stopped = true;
            changed.notify_all();
            break;
        }
    }
    reader.join();
    return readResult;
}

}  // namespace orvalin
