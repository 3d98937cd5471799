// Buffered byte output for files of records: the batch decoder's records on standard output or
// in the -o file and its rejection report on standard error, or records kept in memory. Writers
// fill a large buffer and hand it to a sink in big blocks, so a record line costs a few copies
// and no system call.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace orvalin {

// Where finished bytes go. write() takes all bytes or fails; after a failure error() holds
// the errno value that names the reason.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const char* data, std::size_t size) = 0;
    virtual int error() const = 0;
};

// A file descriptor; partial writes are continued and EINTR retried. The descriptor is not
// owned.
class FdSink final : public ByteSink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    bool write(const char* data, std::size_t size) override;
    int error() const override { return error_; }

private:
    int fd_;
    int error_ = 0;
};

// Bytes kept in memory (tests and benchmarks).
class StringSink final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        bytes.append(data, size);
        return true;
    }
    int error() const override { return 0; }
    std::string bytes;
};

// A buffer in front of a sink. A writer reserves room for a whole record, fills it and
// commits the end. After the first failed write the buffer drops everything and failed()
// stays true, so a producer only needs to look at failed() now and then.
class BufferedWriter {
public:
    static constexpr std::size_t DefaultCapacity = std::size_t{1} << 20;

    explicit BufferedWriter(ByteSink& sink, std::size_t capacity = DefaultCapacity);

    // At least `size` free bytes (size <= capacity), flushing first when needed.
    char* reserve(std::size_t size) {
        if (capacity_ - used_ < size) flushForRoom();
        return buffer_.get() + used_;
    }
    // Marks the bytes up to `end` (inside the reserved room) as written.
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

    void append(std::string_view bytes);
    void append(char byte) {
        *reserve(1) = byte;
        ++used_;
    }
    void appendNumber(unsigned long long number);

    // Hands everything buffered to the sink; false once any write has failed.
    bool flush();
    bool failed() const { return failed_; }
    int error() const { return sink_.error(); }

private:
    void flushForRoom();

    ByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// A file name as it may be written to a terminal: control characters (C0, DEL, C1) and bytes
// that are not UTF-8 become \n, \t, \r or \xHH; every other character stays as it is.
std::string printableName(std::string_view name);

}  // namespace orvalin
