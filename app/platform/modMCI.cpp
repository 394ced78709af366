#include "modMCI.h"

#include <cmath>
#include <limits>

namespace tracklift {

namespace {

QString twoDigits(std::int64_t n)
{
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}

// The number a text begins with (blanks before it allowed), 0 when there is none.
double leadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('-') || t[end] == QLatin1Char('+')))
        ++end;
    while (end < t.size() && (t[end].isDigit() || t[end] == QLatin1Char('.')))
        ++end;
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    return ok ? value : 0;
}

}  // namespace

void modMCI::MciCommand(const QString& text)
{
    if (m_device)
        m_device->sendString(text + QLatin1Char(' '));  // the answer is not examined
}

void modMCI::OpenMovie()
{
    MciCommand(QStringLiteral("close animation"));
    MciCommand(QStringLiteral(" open ") + MovieFile + QStringLiteral(" type ") + MovieDevice + QStringLiteral(" alias animation parent ") +
               QString::number(MovieWindow) + QStringLiteral(" style ") + QStringLiteral("1073741824"));
    MciCommand(QStringLiteral("play animation"));
    MciCommand(QStringLiteral("pause animation"));
}

void modMCI::PositionMovie(int widthTwips, int heightTwips, int twipsPerPixelX, int twipsPerPixelY)
{
    const int width = twipsPerPixelX > 0 ? widthTwips / twipsPerPixelX : 0;
    const int height = twipsPerPixelY > 0 ? heightTwips / twipsPerPixelY : 0;
    MciCommand(QStringLiteral("put animation window at 0 0 ") + QString::number(width) + QLatin1Char(' ') + QString::number(height) +
               QLatin1Char(' '));
}

std::int32_t modMCI::statusNumber(const QString& command)
{
    MciCommand(QStringLiteral("set animation time format ms"));
    const QString answer = m_device ? m_device->sendString(command + QLatin1Char(' ')).left(128) : QString();
    const double value = std::round(leadingNumber(answer));
    if (!(value >= 0))
        return 0;
    return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(value);
}

std::int32_t modMCI::MovieLengthMs()
{
    return statusNumber(QStringLiteral("status animation length"));
}

std::int32_t modMCI::MoviePositionMs()
{
    return statusNumber(QStringLiteral("status animation position wait"));
}

QString modMCI::GetDeviceType(const QString& path)
{
    if (path.size() <= 3)
        return {};
    const QString last4 = path.right(4);
    const auto dot = last4.indexOf(QLatin1Char('.'));
    const QString extension = (dot >= 0 ? last4.mid(dot + 1) : last4).toLower();
    return extension == QLatin1String("avi") ? QStringLiteral("AVIVideo") : QStringLiteral("MPEGVideo");
}

QString modMCI::FormatPlayTime(std::int32_t ms)
{
    std::int64_t seconds = ms / 1000;
    std::int64_t minutes = 0;
    if (seconds >= 60) {
        minutes = ms / 60000;
        seconds %= 60;
    }
    return twoDigits(minutes) + QLatin1Char(':') + twoDigits(seconds);
}

}  // namespace tracklift
