#pragma once
// The user's locale formats, read through QLocale.
#include "platform/ILocaleFormats.h"

class QLocale;

namespace velmora {

class PosixLocaleFormats final : public ILocaleFormats {
public:
    LocaleFormats Formats() override;
};

// The formats of one Qt locale, made safe to show and read back (see NormalizedPattern).
LocaleFormats FormatsOf(const QLocale& locale);

} // namespace velmora
