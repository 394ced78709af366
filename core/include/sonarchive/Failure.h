#pragma once

#include <cstdint>
#include <string>

namespace sonarchive {

// What kind of failure ended an operation.
enum class FailureCode {
    None,
    NotConnected,  // the drive or its iPod_Control folders are not there
    NotFound,      // a file the operation needs is missing
    Format,        // the database file cannot be decoded
    ReadOnly,      // the device is mounted read-only
    NoSpace,       // the device is full
    Io,            // any other error of the file system
    Signed,        // a changed database would need a signature the library cannot make
    TooLarge,      // a file or record beyond what the database can hold
    Unsupported,   // a media file the device cannot play
    Media,         // the analysis of a media file failed (its own number and words)
    NotLoaded,     // no database has been loaded whole
    Cancelled,     // the user cancelled
    Usage,         // the caller asked for what can't be done: an unknown track, a playlist without a name
    Other,
    Unreadable,    // the device's disk could not read a file that is there (tried again, to no avail)
};

// The last failure of an operation, as the library reports it beside the
// message box the user sees: a code, plain words, and for a damaged database
// the byte where decoding stopped.
struct Failure {
    FailureCode code = FailureCode::None;
    int number = 0;            // the system's error number where there was one; a media failure's own number
    std::string message;       // UTF-8, for example "at byte 2,944: track header size 0"
    std::int64_t offset = -1;  // where it applies: the zero-based byte offset in the file, else -1

    explicit operator bool() const { return code != FailureCode::None; }
};

}  // namespace sonarchive
