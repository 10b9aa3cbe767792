#pragma once
// What the About box decides, written once for every toolkit: its caption, which
// donation picture shows, the web page's host name, and what a click on a link does.
#include "common/LanguageText.h"
#include "common/WindowView.h"
#include "platform/Platform.h"

#include <cstdint>
#include <string>

namespace velmora {

// What only the window can do; the logic says when.
class IAboutActions {
public:
    virtual ~IAboutActions() = default;
    // Closes the box; closing a box that is not shown has no effect.
    virtual void CloseWindow() = 0;
};

class AboutLogic {
public:
    AboutLogic(Platform& platform, IWindowView& view, IAboutActions& actions)
        : m_platform(platform), m_view(view), m_actions(actions)
    {}

    // The window's own control name, which carries its caption.
    static constexpr const char* kWindow = "AboutBox";

    // The user-interface language, set before each showing: 0 German, else English.
    std::int32_t ALanguage = 1;

    // The addresses for the current language.
    std::string ProductPage() const;
    std::string DonationPage() const;

    // Opens an address in the default browser and closes the box; a failure is not reported.
    void OpenUrl(const std::string& url);

    void FormShow();
    // The host name and the logo open the product page.
    void Label5Click() { OpenUrl(ProductPage()); }
    // The donation pictures open the donation page.
    void Image1Click() { OpenUrl(DonationPage()); }
    void SpeedButton1Click() { m_actions.CloseWindow(); }

private:
    Platform& m_platform;
    IWindowView& m_view;
    IAboutActions& m_actions;
};

} // namespace velmora
