#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sonarchive {

// A run-time failure during media analysis: an error number and its description,
// as the analysis messages show them ("<number>:<description>").
class MediaError : public std::runtime_error {
public:
    MediaError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), m_number(number)
    {
    }
    std::int32_t number() const { return m_number; }
    std::string description() const { return what(); }

    // The numbers the analysis raises itself. File-system failures carry the
    // system's error code and text instead.
    static constexpr std::int32_t kInvalidCall = 5;
    static constexpr std::int32_t kOverflow = 6;
    static constexpr std::int32_t kOutOfMemory = 7;
    static constexpr std::int32_t kSubscriptOutOfRange = 9;
    static constexpr std::int32_t kDivisionByZero = 11;
    static constexpr std::int32_t kTypeMismatch = 13;
    static constexpr std::int32_t kPipeCreation = 12001;
    static constexpr std::int32_t kProcessCreation = 12003;

    static MediaError invalidCall() { return MediaError(kInvalidCall, "Invalid procedure call or argument"); }
    static MediaError overflow() { return MediaError(kOverflow, "Overflow"); }
    // A file the database's 32-bit size field can't describe.
    static MediaError fileTooLarge(std::uint64_t bytes);
    static MediaError divisionByZero() { return MediaError(kDivisionByZero, "Division by zero"); }
    static MediaError typeMismatch() { return MediaError(kTypeMismatch, "Type mismatch"); }
    static MediaError subscriptOutOfRange() { return MediaError(kSubscriptOutOfRange, "Subscript out of range"); }
    // The calling thread's errno with the system's text.
    static MediaError fromErrno(int code);

private:
    std::int32_t m_number;
};

// Converts any exception caught at an analysis boundary into number and text.
MediaError toMediaError(const std::exception& e);

}  // namespace sonarchive
