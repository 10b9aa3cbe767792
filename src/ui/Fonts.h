#pragma once
// The windows' one typeface: Arial at a size in points, a sans-serif where Arial is missing.
#include <QFont>
#include <QString>

namespace velmora {

inline QFont ArialFont(int points)
{
    QFont font(QStringLiteral("Arial"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace velmora
