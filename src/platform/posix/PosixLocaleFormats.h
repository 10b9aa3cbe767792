#pragma once
// The user's locale formats, read through QLocale.
#include "platform/ILocaleFormats.h"

namespace velmora {

class PosixLocaleFormats final : public ILocaleFormats {
public:
    LocaleFormats Formats() override;
};

} // namespace velmora
