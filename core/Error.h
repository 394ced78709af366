#pragma once

#include <sonarchive/Failure.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sonarchive {

// The one error type inside the library: a code, plain words for the user, the
// system's error number where there was one (a media failure's own number), and
// the byte offset where it applies, such as where decoding a damaged database
// stopped. At the boundary it becomes the message box the behaviour calls for
// and the object's last failure.
class Error : public std::runtime_error {
public:
    Error(FailureCode code, const std::string& message, int number = 0, std::int64_t offset = -1)
        : std::runtime_error(message), m_code(code), m_number(number), m_offset(offset)
    {
    }
    FailureCode code() const { return m_code; }
    int number() const { return m_number; }
    std::int64_t offset() const { return m_offset; }
    Failure failure() const { return {m_code, m_number, what(), m_offset}; }

private:
    FailureCode m_code;
    int m_number;
    std::int64_t m_offset;
};

// A database file that cannot be decoded: a read outside the data, an impossible
// size or count. The message reads "at byte 2,944: track header size 0".
class FormatError : public Error {
public:
    FormatError(const std::string& reason, std::int64_t offset);
    const std::string& reason() const { return m_reason; }

private:
    std::string m_reason;
};

// A number with a comma between groups of three digits: 2944 -> "2,944".
std::string groupedNumber(std::int64_t value);

// A failure of the file system in plain words; read-only and full devices are
// named as such.
Error systemError(int number, const std::string& what);

// Any exception as a failure the caller can read.
Failure failureOf(const std::exception& e);

}  // namespace sonarchive
