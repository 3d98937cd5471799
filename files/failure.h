// How every library of the program hands a failure back across its door: a kind that callers
// branch on, the system's errno when it gave one, and the words for the user. A Result holds
// either the value asked for or the Failure; nothing is thrown and nothing is printed.
#pragma once

#include <QString>
#include <utility>
#include <variant>

namespace orvalin {

enum class FailureKind {
    Missing,     // no such file (or it went away)
    Folder,      // a folder where a file was wanted
    NotAFile,    // a device, pipe or socket: reading or writing it may never end
    Unreadable,  // permissions or an I/O error while reading
    Unwritable,  // permissions, a read-only file system or an I/O error while writing
    DiskFull,
    TooLarge,
    NotText,  // NUL bytes: a binary file
    Locked,   // another program holds it longer than we wait
    Damaged,  // not what it should be: a damaged database, a newer format
    Other,
};

struct Failure {
    FailureKind kind = FailureKind::Other;
    int error = 0;      // the errno value, when the system gave one
    QString text = {};  // why, in words for the user: "No space left on device"
    // What the failure left behind that the user should know ("The previous file is
    // unchanged."); empty mostly.
    QString consequence = {};
};

template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    // Only for a result that is not ok().
    const Failure& failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Failure& failure() const { return failure_; }

private:
    Failure failure_;
    bool ok_ = true;
};

}  // namespace orvalin
