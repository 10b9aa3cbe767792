#include "info/ProductLinks.h"

#include "common/LanguageText.h"

namespace velmora {

std::string HostName(std::string_view url)
{
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    // Any user part before the host is not shown.
    const std::size_t at = url.rfind('@');
    if (at != std::string_view::npos) url.remove_prefix(at + 1);
    return std::string(url);
}

std::string DonationPage(std::int32_t language, std::string_view productPage)
{
    // The product pages are root pages that may end in "/"; the page name follows one "/".
    while (!productPage.empty() && productPage.back() == '/')
        productPage.remove_suffix(1);
    return std::string(productPage) + (IsEnglish(language) ? "/donate.html" : "/spenden.html");
}

} // namespace velmora
