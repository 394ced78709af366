#include "FormatText.h"

#include <sonarchive/TrackValues.h>

#include <QDateTime>
#include <QLocale>

namespace tracklift {

namespace {

std::int64_t power10(int decimals)
{
    std::int64_t p = 1;
    for (int i = 0; i < decimals; ++i)
        p *= 10;
    return p;
}

}  // namespace

QString formatRatio(std::int64_t numerator, std::int64_t denominator, int decimals)
{
    if (denominator == 0)
        return QStringLiteral("0");
    const bool negative = (numerator < 0) != (denominator < 0);
    // Unsigned magnitudes, so that the extremes of the range cannot overflow.
    const auto magnitude = [](std::int64_t v) { return v < 0 ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v); };
    const std::uint64_t n = magnitude(numerator);
    const std::uint64_t d = magnitude(denominator);
    const auto scale = static_cast<std::uint64_t>(power10(decimals));

    std::uint64_t whole = n / d;
    const std::uint64_t rest = n % d;
    // rest < d, and the divisors used here (sizes of volumes, powers of 1,024) keep rest * scale in range.
    std::uint64_t fraction = rest * scale / d;
    const std::uint64_t remainder = rest * scale % d;
    const bool lastDigitOdd = scale == 1 ? whole % 2 == 1 : fraction % 2 == 1;
    if (remainder * 2 > d || (remainder * 2 == d && lastDigitOdd)) {
        if (scale == 1)
            ++whole;
        else
            ++fraction;
    }
    if (fraction >= scale) {
        whole += fraction / scale;
        fraction %= scale;
    }

    QString text = QString::number(whole);
    if (fraction) {
        QString digits = QString::number(fraction).rightJustified(decimals, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLocale().decimalPoint() + digits;
    }
    if (negative && (whole || fraction))
        text.prepend(QLatin1Char('-'));
    return text;
}

QString FormatFileSize(std::int64_t bytes)
{
    constexpr std::int64_t KB = 1024, MB = 1048576, GB = 1073741824;
    if (bytes < KB)
        return QString::number(bytes) + QStringLiteral(" Bytes");
    if (bytes < MB)
        return formatRatio(bytes, KB, 2) + QStringLiteral(" KB");
    if (bytes < GB)
        return formatRatio(bytes, MB, 2) + QStringLiteral(" MB");
    return formatRatio(bytes, GB, 2) + QStringLiteral(" GB");
}

QString FormatTrackLength(std::int32_t milliseconds)
{
    // Rounded down, also below zero.
    auto floorDiv = [](std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); };
    const std::int64_t seconds = floorDiv(milliseconds, 1000);
    const std::int64_t minutes = floorDiv(seconds, 60);
    const std::int64_t rest = seconds - minutes * 60;
    return QString::number(minutes) + QLatin1Char(':') + QString::number(rest).rightJustified(2, QLatin1Char('0'));
}

QString FormatRating(std::int32_t rating)
{
    const int stars = sonarchive::ratingStars(rating);
    if (stars == 0)
        return {};
    return QString(stars, QChar(0x2605)) + QString(5 - stars, QChar(0x2606));
}

QString FormatMoment(std::int64_t unixSeconds)
{
    if (unixSeconds == 0)
        return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(unixSeconds), QStringLiteral("d MMM yyyy, HH:mm"));
}

}  // namespace tracklift
