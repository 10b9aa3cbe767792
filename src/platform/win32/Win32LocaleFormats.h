#pragma once
// The user's date, time and number formats from GetLocaleInfoEx.
#include "platform/ILocaleFormats.h"

namespace velmora {

class Win32LocaleFormats final : public ILocaleFormats {
public:
    LocaleFormats Formats() override;
};

} // namespace velmora
