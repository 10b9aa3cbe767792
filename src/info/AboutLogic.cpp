#include "info/AboutLogic.h"

#include "info/InfoTexts.h"
#include "info/ProductLinks.h"

namespace velmora {

std::string AboutLogic::ProductPage() const
{
    return Pick(ALanguage, kProductPage);
}

std::string AboutLogic::DonationPage() const
{
    return velmora::DonationPage(ALanguage, Pick(ALanguage, kProductPage));
}

void AboutLogic::OpenUrl(const std::string& url)
{
    m_platform.shell->OpenUrl(url);
    m_actions.CloseWindow();
}

void AboutLogic::FormShow()
{
    const bool english = IsEnglish(ALanguage);
    m_view.SetText(kWindow, Pick(ALanguage, kAboutCaption));
    // The English donation picture and the German one share a place.
    m_view.SetShown("Image1", english);
    m_view.SetShown("Image3", !english);
    m_view.SetText("Label5", HostName(Pick(ALanguage, kProductPage)));
}

} // namespace velmora
