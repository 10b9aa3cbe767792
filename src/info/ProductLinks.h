#pragma once
// The addresses the About box and the start screen show and open.
#include "common/LanguageText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The product web pages per language.
inline constexpr TextPair kProductPage{"https://www.velmora-tools.com/", "https://www.velmora-tools.de/"};

// The host name of a web address: what lies between the scheme and the path
// ("https://www.example.org/x" gives "www.example.org").
std::string HostName(std::string_view url);

// The donation page of the language beside the product web page: "/donate.html" in
// English, "/spenden.html" in German, joined with exactly one "/".
std::string DonationPage(std::int32_t language, std::string_view productPage);

} // namespace velmora
