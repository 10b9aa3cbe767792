#pragma once
#include <QIcon>

namespace velmora {

// The desktop theme's icon of that name where the theme has one, else our own picture.
QIcon ThemedIcon(const char* themeName, const char* fallbackResource);

// Makes sure a theme with the freedesktop icon names is searched.
void PrepareIconTheme();

} // namespace velmora
