// Reading the archive a batch ahead: SQLite steps through the kept frames on a thread of its
// own while the caller's thread writes the records of the batch before, so a long read keeps
// two cores busy instead of one. Whatever the size of the archive, memory stays at a few
// batches.
#pragma once

#include <cstddef>
#include <functional>

#include "archive/frame_archive.h"

namespace orvalin {

inline constexpr std::size_t ReadAheadBatch = 4096;

// What FrameArchive::read hands on, in the same order, with `take` called on the caller's
// thread; `take` may return false to stop. Until it returns, the archive belongs to the
// reading thread alone.
Result<> readAhead(FrameArchive& archive, qint64 fromUtc, qint64 untilUtc, bool untimed,
                   const std::function<bool(const StoredFrame&)>& take,
                   std::size_t batchSize = ReadAheadBatch);

}  // namespace orvalin
