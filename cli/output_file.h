// The file named with -o. It is written under a temporary name beside its final name and
// renamed over it only when complete, so a failure (a full disk, a killed write) leaves the
// old file as it was and no partial file behind. Devices and pipes (/dev/null, a FIFO) have
// no "beside" and are written directly.
#pragma once

#include <string>

namespace orvalin::cli {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An output that was never committed is removed.
    ~OutputFile();

    // Creates the temporary file (or opens the device); false with error() set on failure.
    bool open(const std::string& path);
    int fd() const { return fd_; }

    // Closes the file and renames it to its final name; false with error() set on failure,
    // and then nothing is left behind.
    bool commit();
    // Closes and removes the temporary file.
    void discard();

    int error() const { return error_; }

private:
    bool fail();

    std::string finalPath_;
    std::string tempPath_;  // empty when writing a device directly
    int fd_ = -1;
    int error_ = 0;
};

// From now on SIGINT, SIGTERM and SIGHUP first remove the temporary file of an output that
// is being written, then end the program as the signal would have. A signal that was ignored
// when the program started stays ignored. For main() only.
void removeOutputOnInterrupt();

}  // namespace orvalin::cli
