#include "files/log_file.h"

#include <QFile>
#include <algorithm>
#include <memory>
#include <utility>

#include "decoder/line_rule.h"
#include "files/open_file.h"
#include "files/read_loop.h"

namespace orvalin {

Result<LogFileBytes> readLogFile(const QString& path) {
    Result<OpenFile> opened =
        openToRead(QFile::encodeName(path).toStdString(), FileAccept::RegularOnly);
    if (!opened) return opened.failure();
    const Failure tooLarge{.kind = FailureKind::TooLarge};
    if (opened->status().st_size > LogFileSizeLimit) return tooLarge;
    QByteArray bytes;
    bytes.reserve(opened->status().st_size);
    const auto buffer = std::make_unique<char[]>(ReadSize);
    const auto take = [&](const char* data, std::size_t size) {
        bytes.append(data, static_cast<qsizetype>(size));
        return bytes.size() <= LogFileSizeLimit;  // the file may have grown since it was opened
    };
    if (Result<> read = readToEnd(opened->fd(), buffer.get(), ReadSize, take, false); !read)
        return read.failure();
    if (bytes.size() > LogFileSizeLimit) return tooLarge;
    if (bytes.contains('\0')) return Failure{.kind = FailureKind::NotText};

    Utf8LineCutter cutter;
    cutter.feed(bytes, [](QByteArrayView) {});
    LogFileBytes file;
    file.lineStart = bytes.size() - cutter.keptSize();
    // The file's encoding signature is no part of its first line.
    const qsizetype mark = bytes.startsWith(QByteArrayView(Utf8ByteOrderMark)) ? 3 : 0;
    const qsizetype lineStart = std::max<qsizetype>(file.lineStart, mark);
    file.unfinishedLine = bytes.sliced(lineStart);
    // The lines keep the bytes read, without a second copy of a log of megabytes.
    bytes.truncate(lineStart);
    bytes.remove(0, mark);
    file.lines = std::move(bytes);
    return file;
}

}  // namespace orvalin
