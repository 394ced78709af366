#pragma once

#include <QString>

namespace tracklift {

// Sizes of the main window's parts, in pixels at 96 dpi.
inline constexpr int kPageWidth = 860;
inline constexpr int kPageHeight = 600;
inline constexpr int kHeaderHeight = 48;
inline constexpr int kFooterHeight = 30;

// Button and menu captions show "&" doubled, as it would otherwise mark a shortcut.
inline QString escapeMnemonic(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

inline QString unescapeMnemonic(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

}  // namespace tracklift
