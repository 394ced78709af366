#include "Error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

namespace sonarchive {

std::string groupedNumber(std::int64_t value)
{
    const bool negative = value < 0;
    const auto magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return negative ? "-" + digits : digits;
}

FormatError::FormatError(const std::string& reason, std::int64_t offset)
    : Error(FailureCode::Format, "at byte " + groupedNumber(offset) + ": " + reason, 0, offset), m_reason(reason)
{
}

Error systemError(int number, const std::string& what)
{
    switch (number) {
    case EROFS:
        return Error(FailureCode::ReadOnly, "the iPod is mounted read-only, so nothing can be written to it", number);
    case ENOSPC:
    case EDQUOT:
        return Error(FailureCode::NoSpace, "the iPod is full: there is no room left on it", number);
    case ENOENT:
        return Error(FailureCode::NotFound, what + ": " + std::strerror(number), number);
    default:
        return Error(FailureCode::Io, what + ": " + std::strerror(number), number);
    }
}

Failure failureOf(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->failure();
    if (const auto* system = dynamic_cast<const std::system_error*>(&e)) {
        if (system->code().category() == std::generic_category() || system->code().category() == std::system_category()) {
            const Error plain = systemError(system->code().value(), system->what());
            // The plain words for read-only and full devices; the system's own otherwise.
            if (plain.code() == FailureCode::ReadOnly || plain.code() == FailureCode::NoSpace)
                return plain.failure();
            return {plain.code(), system->code().value(), system->what(), -1};
        }
    }
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return {FailureCode::TooLarge, ENOMEM, "not enough memory", -1};
    return {FailureCode::Other, 0, e.what(), -1};
}

}  // namespace sonarchive
