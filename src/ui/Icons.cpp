#include "ui/Icons.h"

namespace velmora {

QIcon ThemedIcon(const char* themeName, const char* fallbackResource)
{
    const QIcon fallback(QString::fromLatin1(fallbackResource));
    if (themeName == nullptr) return fallback;
    return QIcon::fromTheme(QString::fromLatin1(themeName), fallback);
}

void PrepareIconTheme()
{
    // Without a desktop session Qt knows no theme; Adwaita carries the standard names.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
}

} // namespace velmora
