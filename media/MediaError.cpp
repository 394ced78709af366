#include "MediaError.h"

#include <sonarchive/ByteText.h>

#include <cstring>
#include <new>

namespace sonarchive {

namespace mediaerror {

namespace {

Error media(int number, const std::string& description, std::int64_t offset = -1)
{
    return Error(FailureCode::Media, description, number, offset);
}

}  // namespace

Error invalidCall()
{
    return media(kInvalidCall, "Invalid procedure call or argument");
}

Error overflow(std::int64_t offset)
{
    return Error(FailureCode::TooLarge, "Overflow", kOverflow, offset);
}

Error divisionByZero(std::int64_t offset)
{
    return media(kDivisionByZero, "Division by zero", offset);
}

std::string tooLargeForDatabase(std::uint64_t bytes)
{
    return "the file is " + groupedNumber(static_cast<std::int64_t>(bytes)) +
           " bytes, and the iPod's database holds only files smaller than 4 GiB (4,294,967,296 bytes)";
}

Error fileTooLarge(std::uint64_t bytes)
{
    return Error(FailureCode::TooLarge, "Overflow: " + tooLargeForDatabase(bytes), kOverflow);
}

Error typeMismatch()
{
    return media(kTypeMismatch, "Type mismatch");
}

Error subscriptOutOfRange()
{
    return media(kSubscriptOutOfRange, "Subscript out of range");
}

Error pipeCreation(int systemError)
{
    return media(kPipeCreation, "Could not create pipe LastError " + std::to_string(systemError));
}

Error processCreation(int systemError)
{
    return media(kProcessCreation, "Could not create piped process. LastError " + std::to_string(systemError));
}

Error fromErrno(int code)
{
    return Error(FailureCode::Io, std::strerror(code), code);
}

}  // namespace mediaerror

Error asMediaError(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return *error;
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return Error(FailureCode::Media, "Out of memory", mediaerror::kOutOfMemory);
    return Error(FailureCode::Media, e.what(), mediaerror::kInvalidCall);  // anything else
}

std::u16string numberedText(const Error& error)
{
    return fromUtf8(std::to_string(error.number()) + ":" + error.what());
}

}  // namespace sonarchive
