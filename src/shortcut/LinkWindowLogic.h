#pragma once
// What the shortcut window decides, written once for every toolkit: its texts, the
// proposal for the shortcut's path, and writing the shortcut with the question and
// message that follow. The three edit fields are the whole state of a request.
#include "common/LanguageText.h"
#include "common/WindowView.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// What only the window can do; the logic says when.
class ILinkWindowActions {
public:
    virtual ~ILinkWindowActions() = default;
    // The system's open-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> ChooseFile() = 0;
    // The save dialog, without an overwrite question (the name gets ".lnk" afterwards
    // anyway), starting at startPath when it is not empty; nullopt when cancelled.
    virtual std::optional<std::string> ChooseLinkFile(const std::string& startPath) = 0;
    virtual void CloseWindow() = 0;
};

class LinkWindowLogic {
public:
    LinkWindowLogic(Platform& platform, IWindowView& view, ILinkWindowActions& actions)
        : m_platform(platform), m_view(view), m_actions(actions)
    {}

    // The window's own control name, which carries its caption.
    static constexpr const char* kWindow = "FormLink";

    // The window's copy of the user-interface language (any non-zero value is English).
    std::int32_t CurLanguage = 1;

    void ApplyLanguage();
    // Runs on every showing: texts, a fresh request, the proposal for the target.
    void FormShow();

    // ButtonOpen (the program) and ButtonParam (the parameter).
    void ButtonOpenClick(bool forParameter);
    void ButtonSaveLinkClick();
    void ButtonCreateLinkClick();
    void ButtonCancelClick();
    // F1 opens the help.
    void HelpKey();

    // Writes the shortcut; true when the file was written. A failure is reported here.
    bool CreateShellLink(const std::string& target, const std::string& arguments, const std::string& link);
    // Opens the file manager on a folder.
    void ShowFolderInExplorer(const std::string& folder);

private:
    std::string Text(const TextPair& pair) const { return Pick(CurLanguage, pair); }
    std::string Trimmed(std::string_view control) const;

    Platform& m_platform;
    IWindowView& m_view;
    ILinkWindowActions& m_actions;
};

} // namespace velmora
