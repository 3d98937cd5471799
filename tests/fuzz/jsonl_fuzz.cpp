// Fuzz target: JSON Lines of the batch decoder against its CSV.
//
// Input: one settings byte (bits 0-1: the CSV's first columns, Timestamp and Date and Time,
// Date and Time, or Timestamp; bit 2: a decimal comma in the CSV), then the bytes of a log,
// read from standard input. orvalin-decode runs in-process twice on the same bytes: with
// --format jsonl and with the CSV options.
//
// Properties: both runs succeed; every JSON line is one object of "date", "time",
// "timestamp" and the 29 channel captions; there are as many objects as CSV records, and each
// object's date, time and timestamp (null for an empty one) are the CSV's, and each value,
// written with the CSV's number text, is the CSV field: the JSON number reads back to the
// double whose 15-digit rounding the CSV holds.
#include <sys/mman.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <string>
#include <vector>

#include "cli/batch_decoder.h"
#include "decoder/channels.h"
#include "decoder/number_text.h"
#include "fuzz_support.h"

namespace orvalin::fuzz {
namespace {

struct Run {
    int status = -1;
    QByteArray output;
};

// A file in memory for each standard stream, kept from one input to the next.
class Streams {
public:
    Streams() {
        for (int& fd : fds_) {
            fd = ::memfd_create("orvalin-jsonl-fuzz", MFD_CLOEXEC);
            FUZZ_CHECK(fd >= 0);
        }
    }
    ~Streams() {
        for (const int fd : fds_) ::close(fd);
    }
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;

    Run run(const std::vector<std::string>& args, const QByteArray& input) {
        for (const int fd : fds_) {
            FUZZ_CHECK(::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0);
        }
        FUZZ_CHECK(::write(fds_[0], input.constData(), static_cast<std::size_t>(input.size())) ==
                   input.size());
        FUZZ_CHECK(::lseek(fds_[0], 0, SEEK_SET) == 0);
        Run run;
        run.status =
            cli::runBatchDecoder(args, {.input = fds_[0], .output = fds_[1], .error = fds_[2]});
        const off_t size = ::lseek(fds_[1], 0, SEEK_END);
        FUZZ_CHECK(size >= 0);
        run.output.resize(static_cast<qsizetype>(size));
        FUZZ_CHECK(::pread(fds_[1], run.output.data(), static_cast<std::size_t>(size), 0) == size);
        return run;
    }

private:
    int fds_[3] = {-1, -1, -1};
};

struct CsvRecord {
    QString timestamp;
    QString date;
    QString time;
    QStringList values;
};

// A record line of the CSV. Date and time are taken by their length (10 and 8 characters): a
// log line may carry a ';' in them.
CsvRecord csvRecord(const QString& line, bool iso, bool withTime) {
    CsvRecord record;
    qsizetype at = 0;
    if (iso) {
        const qsizetype end = line.indexOf(u';');
        FUZZ_CHECK(end >= 0);
        record.timestamp = line.first(end);
        at = end + 1;
    }
    if (withTime) {
        FUZZ_CHECK(line.size() >= at + 20 && line[at + 10] == u';' && line[at + 19] == u';');
        record.date = line.sliced(at, 10);
        record.time = line.sliced(at + 11, 8);
        at += 20;
    }
    record.values = line.sliced(at).split(u';');
    FUZZ_CHECK(record.values.size() == ChannelCount + 1 && record.values.back().isEmpty());
    return record;
}

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin;
    using namespace orvalin::fuzz;
    InputBytes input(data, size);
    const std::uint8_t settings = input.takeByte();
    const QByteArray log = input.rest();
    const bool iso = (settings & 3u) != 1;
    const bool withTime = (settings & 3u) != 2;
    const bool comma = (settings & 4u) != 0;

    static Streams streams;
    const Run json = streams.run({"--format", "jsonl"}, log);
    std::vector<std::string> csvArgs;
    if (iso) csvArgs.emplace_back("--iso-time");
    if (withTime) csvArgs.emplace_back("--time");
    if (comma) csvArgs.emplace_back("--decimal-comma");
    const Run csv = streams.run(csvArgs, log);
    FUZZ_CHECK(json.status == cli::ExitSuccess && csv.status == cli::ExitSuccess);

    QList<QByteArray> objects = json.output.split('\n');
    FUZZ_CHECK(objects.takeLast().isEmpty());  // every line ends with LF
    QList<QByteArray> records = csv.output.split('\n');
    FUZZ_CHECK(records.takeLast().isEmpty());
    FUZZ_CHECK(!records.isEmpty());
    records.removeFirst();  // the header
    FUZZ_CHECK(objects.size() == records.size());

    const QChar separator = comma ? u',' : u'.';
    for (qsizetype i = 0; i < objects.size(); ++i) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(objects[i], &error);
        FUZZ_CHECK(error.error == QJsonParseError::NoError && document.isObject());
        const QJsonObject object = document.object();
        FUZZ_CHECK(object.size() == 3 + ChannelCount);

        FUZZ_CHECK(records[i].endsWith('\r'));
        const CsvRecord record = csvRecord(QString::fromUtf8(records[i].chopped(1)), iso, withTime);
        FUZZ_CHECK(object[u"date"].isString() && object[u"time"].isString());
        if (withTime) {
            FUZZ_CHECK(object[u"date"].toString() == record.date);
            FUZZ_CHECK(object[u"time"].toString() == record.time);
        }
        const QJsonValue timestamp = object[u"timestamp"];
        FUZZ_CHECK(timestamp.isString() || timestamp.isNull());
        if (iso) {
            FUZZ_CHECK(timestamp.isNull() ? record.timestamp.isEmpty()
                                          : timestamp.toString() == record.timestamp &&
                                                !record.timestamp.isEmpty());
        }
        for (ChannelIndex c = 0; c < ChannelCount; ++c) {
            const std::string_view caption = ChannelCatalogue[static_cast<std::size_t>(c)].caption;
            const QJsonValue value =
                object[QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size()))];
            FUZZ_CHECK(value.isDouble());
            FUZZ_CHECK(formatNumberText(value.toDouble(), separator) == record.values[c]);
        }
    }
    return 0;
}
