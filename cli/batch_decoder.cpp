#include "cli/batch_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "cli/archive_runs.h"
#include "cli/batch_sharing.h"
#include "cli/command_line.h"
#include "cli/follow.h"
#include "cli/log_stream.h"
#include "cli/station_conf.h"
#include "files/atomic_file.h"
#include "files/byte_output.h"
#include "files/error_text.h"
#include "files/open_file.h"
#include "files/read_loop.h"

namespace orvalin::cli {

namespace {

constexpr std::string_view StandardInputName = "standard input";
constexpr std::string_view StandardOutputName = "standard output";

// "orvalin-decode: NAME: reason", at once, after any report lines already buffered. A name's
// control characters are shown escaped.
void errorMessage(BufferedWriter& err, std::string_view name, std::string_view reason) {
    err.append(ProgramName);
    err.append(": ");
    err.append(printableName(name));
    err.append(": ");
    err.append(reason);
    err.append('\n');
    err.flush();
}

void errorMessage(BufferedWriter& err, std::string_view name, int errnoValue) {
    errorMessage(err, name, errorText(errnoValue));
}

void errorMessage(BufferedWriter& err, std::string_view name, const Failure& failure) {
    errorMessage(err, name, failure.text.toLocal8Bit().toStdString());
}

// Decodes one named input ("-": standard input) into the decoder. Stops early when the output
// has failed. The header goes out before the first input that opens, so that a run whose
// inputs all fail writes nothing.
Result<> decodeInput(const std::string& name, int standardInput, LogStreamDecoder& decoder,
                     const BufferedWriter& csv, char* buffer, bool& headerWritten) {
    const bool isStandardInput = name == "-";
    std::optional<OpenFile> named;
    if (!isStandardInput) {
        // A pipe or a device is read as it is, as filters read them.
        Result<OpenFile> opened = openToRead(name, FileAccept::AnyButFolder);
        if (!opened) return opened.failure();
        named.emplace(std::move(*opened));
    }
    const int fd = named ? named->fd() : standardInput;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!headerWritten) decoder.writeHeader();
    headerWritten = true;
    decoder.beginSource(isStandardInput ? StandardInputName : std::string_view(name));
    Result<> read = readToEnd(
        fd, buffer, ReadSize,
        [&](const char* bytes, std::size_t size) {
            decoder.feed(bytes, size);
            return !csv.failed();
        },
        true);
    if (!read) {
        decoder.abandonSource();
    } else {
        decoder.endSource();
    }
    return read;
}

// One line for each reason that left frames out of the output, when any were.
void writeLeftOut(BufferedWriter& err, const FramesLeftOut& leftOut) {
    const auto say = [&err](std::uint64_t count, std::string_view which) {
        if (count == 0) return;
        err.append(ProgramName);
        err.append(": ");
        err.appendNumber(count);
        err.append(count == 1 ? " frame " : " frames ");
        err.append(which);
        err.append(count == 1 ? " was" : " were");
        err.append(" left out of the InfluxDB lines\n");
    };
    say(leftOut.withoutUtcTime, "without a UTC time");
    say(leftOut.outsideTimeRange,
        "at times InfluxDB cannot hold (before 1677-09-21T00:12:44Z or after "
        "2262-04-11T23:47:15Z)");
}

void writeSummary(BufferedWriter& err, const LineCounts& counts) {
    err.append(ProgramName);
    err.append(": ");
    err.appendNumber(counts.accepted);
    err.append(counts.accepted == 1 ? " line accepted, " : " lines accepted, ");
    err.appendNumber(counts.rejected);
    err.append(" rejected, ");
    err.appendNumber(counts.empty);
    err.append(" empty\n");
}

// --import and --dry-run: the frames of the accepted lines matter, not their records.
class NoRecords final : public RecordFormat {
public:
    void writeHeader(BufferedWriter&) override {}
    void writeAsciiRecord(BufferedWriter&, const unsigned char*, const std::uint8_t*) override {}
    void writeRecord(BufferedWriter&, const TelemetryRecord&) override {}
    void writeFrame(BufferedWriter&, const ReceivedFrame&, std::optional<qint64>) override {}
};

// --help and --version go to standard output.
int writeText(const std::string& text, int fd, BufferedWriter& err) {
    FdSink out(fd);
    if (out.write(text.data(), text.size())) return ExitSuccess;
    if (out.error() == EPIPE) return ExitBrokenPipe;
    errorMessage(err, StandardOutputName, out.error());
    return ExitFailure;
}

}  // namespace

int runBatchDecoder(const std::vector<std::string>& args, const StandardStreams& streams) {
    FdSink errorSink(streams.error);
    BufferedWriter err(errorSink, 64 * 1024);

    const ParsedCommandLine parsed = parseCommandLine(args);
    if (!parsed.error.empty()) {
        err.append(std::string(ProgramName) + ": " + parsed.error + "\n" + usageText());
        err.flush();
        return ExitUsage;
    }
    const CommandLine& options = parsed.options;
    if (options.help) return writeText(helpText(), streams.output, err);
    if (options.version) return writeText(versionText(), streams.output, err);
    if (options.shareStatus || options.retryRejected) {
        FdSink outSink(streams.output);
        BufferedWriter out(outSink);
        const int status = options.shareStatus ? runShareStatus(options, out, err)
                                               : runRetryRejected(options, out, err);
        if (!out.flush()) {
            if (out.error() == EPIPE) return ExitBrokenPipe;
            errorMessage(err, StandardOutputName, out.error());
            return ExitFailure;
        }
        return status;
    }
    const auto usageError = [&err](const Failure& failure) {
        err.append(std::string(ProgramName) + ": " + failure.text.toLocal8Bit().toStdString() +
                   "\n" + usageText());
        err.flush();
        return ExitUsage;
    };
    RecordFormatOptions settings{.withTime = options.withTime,
                                 .decimalSeparator = options.decimalComma ? u',' : u'.',
                                 .format = options.format,
                                 .isoTime = options.isoTime};
    if (options.format == OutputFormat::Influx) {
        const Result<QTimeZone> zone = logTimeZone(options);
        if (!zone) return usageError(zone.failure());
        settings.logTimeZone = *zone;
    }
    std::unique_ptr<BatchSharing> sharing;
    std::unique_ptr<DryRun> dryRun;
    std::unique_ptr<ArchiveImport> importer;
    // Worked out only for a message: a plain decode never looks up the user's folders.
    const auto archiveName = [&options] {
        return archivePathOf(options).toLocal8Bit().toStdString();
    };
    if (options.share) {
        // A dry run checks the settings as a real one does, then only reads the archive.
        Result<SharingOptions> checked = BatchSharing::optionsOf(options);
        if (!checked) return usageError(checked.failure());
        if (options.dryRun) {
            Result<std::unique_ptr<DryRun>> opened = DryRun::open(options, checked->station);
            if (!opened) return errorMessage(err, archiveName(), opened.failure()), ExitFailure;
            dryRun = std::move(*opened);
        } else {
            sharing = BatchSharing::create(options, std::move(*checked));
        }
    }
    if (options.import) {
        // The zone of the log's times first: a bad LOG_TIME_ZONE is a setting to fix.
        const Result<QTimeZone> zone = logTimeZone(options);
        if (!zone) return usageError(zone.failure());
        Result<std::unique_ptr<ArchiveImport>> opened = ArchiveImport::open(options, *zone);
        if (!opened) return errorMessage(err, archiveName(), opened.failure()), ExitFailure;
        importer = std::move(*opened);
    }

    // The output is opened first: when it cannot be created, no input is read in vain.
    const bool toFile = !options.outputPath.empty() && options.outputPath != "-";
    const std::string_view outputName = toFile ? options.outputPath : StandardOutputName;
    AtomicFile file;  // an uncommitted file is discarded on every way out
    if (toFile) {
        if (const Result<> opened = file.open(options.outputPath); !opened) {
            errorMessage(err, outputName, opened.failure());
            return ExitFailure;
        }
    }
    FdSink csvSink(toFile ? file.fd() : streams.output);
    FollowOutput followSink(streams.output);
    BufferedWriter csv(options.follow ? static_cast<ByteSink&>(followSink) : csvSink);

    int status = ExitSuccess;
    FramesLeftOut leftOut;
    std::optional<LineCounts> counts;
    if (options.fromArchive) {
        if (sharing) sharing->start(err);
        Result<> written;
        if (dryRun) {
            written = dryRun->takeArchived(options.since, options.until, csv);
        } else {
            const std::unique_ptr<RecordFormat> format = makeRecordFormat(settings);
            written = writeFromArchive(options, *format, csv);
            leftOut = format->leftOut();
        }
        if (!written) {
            errorMessage(err, archiveName(), written.failure());
            status = ExitFailure;
        } else if (sharing) {
            // The station's history goes to the server once sharing is set up.
            sharing->offerArchived(options.since, options.until);
        }
    } else {
        LogStreamDecoder decoder = LogStreamDecoder(
            importer || dryRun ? std::make_unique<NoRecords>() : makeRecordFormat(settings), csv,
            options.report ? &err : nullptr);
        bool headerWritten = false;
        if (sharing) {
            decoder.setFrameHandler(
                [&sharing](const ReceivedFrame& frame) { sharing->take(frame); });
            sharing->start(err);
        } else if (importer) {
            decoder.setFrameHandler(
                [&importer](const ReceivedFrame& frame) { importer->take(frame); });
        } else if (dryRun) {
            decoder.setFrameHandler(
                [&dryRun, &csv](const ReceivedFrame& frame) { dryRun->take(frame, csv); });
        }

        // A followed file (the one input; the command line makes sure of it) is read here and
        // not by the loop below.
        const std::vector<std::string> inputs = options.follow ? std::vector<std::string>{}
                                                : options.inputs.empty()
                                                    ? std::vector<std::string>{"-"}
                                                    : options.inputs;
        const auto buffer = std::make_unique<char[]>(ReadSize);
        if (options.follow) {
            const std::string& followed = options.inputs.front();
            // As for the inputs below, nothing is written for a file that cannot be followed.
            if (openToRead(followed, FileAccept::RegularOnly)) decoder.writeHeader();
            IdleTime idle;
            if (sharing) {
                idle = [&sharing](std::chrono::milliseconds time) { sharing->runFor(time); };
            } else if (importer) {
                // What arrived is kept before the next look, so that it is kept within a second.
                idle = [&importer](std::chrono::milliseconds time) {
                    (void)importer->commit();
                    std::this_thread::sleep_for(time);
                };
            }
            const FollowResult result = followLog(
                followed, decoder, csv, options.report ? &err : nullptr, streams.output, idle);
            // A post in flight is abandoned; its frame waits in the archive for the next start.
            if (sharing && !sharing->finish(false)) status = ExitFailure;
            if (result.input) {
                errorMessage(err, followed, *result.input);
                status = ExitFailure;
            }
            if (result.output && result.output->error == EPIPE) return ExitBrokenPipe;
            if (result.output) {
                errorMessage(err, outputName, *result.output);
                return ExitFailure;
            }
        }
        for (const std::string& input : inputs) {
            if (csv.failed()) break;
            if (const Result<> decoded =
                    decodeInput(input, streams.input, decoder, csv, buffer.get(), headerWritten);
                !decoded) {
                errorMessage(err, input == "-" ? StandardInputName : std::string_view(input),
                             decoded.failure());
                status = ExitFailure;  // the other inputs are still decoded
            }
        }
        leftOut = decoder.leftOut();
        counts = decoder.counts();
        if (dryRun && dryRun->failure()) {
            errorMessage(err, archiveName(), *dryRun->failure());
            status = ExitFailure;
        }
        if (importer) {
            if (const Result<> kept = importer->commit(); !kept) {
                errorMessage(err, archiveName(), kept.failure());
                status = ExitFailure;
            }
        }
    }

    // A file written in place (its directory takes no new file) cannot stay as it was.
    const auto reportCutFile = [&] {
        if (file.targetChanged())
            errorMessage(err, outputName,
                         "written in place, as its directory takes no new file, and now "
                         "incomplete");
    };
    if (!csv.flush() && !followSink.stopped()) {
        file.discard();
        // Its reader has gone: the end of a filter, with nothing to say.
        if (csv.error() == EPIPE) return ExitBrokenPipe;
        errorMessage(err, outputName, csv.error());
        reportCutFile();
        return ExitFailure;
    }
    if (toFile && status != ExitSuccess) {
        // Without the records of an unreadable input the output is not the one asked for; an
        // earlier file of that name may be the good one, so it stays.
        file.discard();
        if (file.targetChanged()) {
            reportCutFile();
        } else {
            errorMessage(err, outputName, "left unchanged, as an input could not be read");
        }
    } else if (toFile) {
        if (const Result<> committed = file.commit(); !committed) {
            errorMessage(err, outputName, committed.failure());
            reportCutFile();
            return ExitFailure;
        }
    }
    writeLeftOut(err, leftOut);
    if (options.report && counts) writeSummary(err, *counts);
    if (importer && counts) {
        err.append(ProgramName);
        err.append(": ");
        err.append(importer->summary(counts->rejected).toLocal8Bit().toStdString());
        err.append('\n');
    }
    err.flush();
    // The output is complete; now the frames of the run go out, or wait in the archive.
    if (sharing && !options.follow && !sharing->finish(true)) status = ExitFailure;
    return status;
}

}  // namespace orvalin::cli
