#pragma once
// The user's date, time and number formats.
#include "common/DateTimeText.h"

namespace velmora {

class ILocaleFormats {
public:
    virtual ~ILocaleFormats() = default;
    virtual LocaleFormats Formats() = 0;
};

} // namespace velmora
