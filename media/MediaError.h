#pragma once

#include "Error.h"

#include <cstdint>
#include <exception>
#include <string>

namespace sonarchive {

// Media analysis fails with the library's one error type: code Media, the
// analysis's own error number and its description, as the analysis messages
// show them ("<number>:<description>"). A value beyond the database's 32-bit
// fields is TooLarge, a file the system cannot read Io with the system's code.
namespace mediaerror {

inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kPipeCreation = 12001;
inline constexpr int kProcessCreation = 12003;

Error invalidCall();
// `offset`: where in the file the value came from, when it came from one.
Error overflow(std::int64_t offset = -1);
Error divisionByZero(std::int64_t offset = -1);
// A file the database's 32-bit size field can't describe.
Error fileTooLarge(std::uint64_t bytes);
// Why a file that size can't be added: "the file is 4,294,967,296 bytes, and ...".
std::string tooLargeForDatabase(std::uint64_t bytes);
Error typeMismatch();
Error subscriptOutOfRange();
// The runner's own failures, with the system's error code in their words.
Error pipeCreation(int systemError);
Error processCreation(int systemError);
// The calling thread's errno with the system's text.
Error fromErrno(int code);

}  // namespace mediaerror

// Any exception caught at an analysis boundary as a media failure: an Error
// stays as it is, running out of memory is number 7, anything else number 5.
Error asMediaError(const std::exception& e);

// "<number>:<description>", the end of every analysis message.
std::u16string numberedText(const Error& error);

}  // namespace sonarchive
