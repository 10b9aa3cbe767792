#pragma once
// What the folder tools window decides, written once for every toolkit: its texts, the
// folder list, the new date for every listed folder, deleting a folder and the hand-off to
// the zip tool. The window creates the controls and forwards its events here.
#include "common/DateTime.h"
#include "common/LanguageText.h"
#include "common/WindowView.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What only the window can do; the logic says when.
class IFolderToolsActions {
public:
    virtual ~IFolderToolsActions() = default;
    // The system's folder picker, several folders at once; empty when cancelled.
    virtual std::vector<std::string> ChooseFolders(const std::string& caption) = 0;
    // Opens the zip tool modally in the language, on the folder when there is one.
    virtual void OpenZipTool(const std::optional<std::string>& folder, std::int32_t language) = 0;
    virtual void CloseWindow() = 0;
    // The texts of a language are in place (a window may place labels by their new size).
    virtual void TextsApplied() {}
};

class FolderToolsLogic {
public:
    FolderToolsLogic(Platform& platform, IWindowView& view, IFolderToolsActions& actions)
        : m_platform(platform), m_view(view), m_actions(actions)
    {}

    // The window's own control name, which carries its caption.
    static constexpr const char* kWindow = "FormFolder";

    std::int32_t MyLanguage = 1;

    void ApplyLanguage();
    // Sets the three times of a file or folder; on Linux the creation time cannot be
    // set, so access and modification time are set.
    bool NT_SetDateTime(const std::string& fileName, TDateTime dtCreation, TDateTime dtLastAccessTime,
                        TDateTime dtLastWriteTime);
    // The folder's last-write time as a local date-time, 0 when it cannot be found.
    TDateTime FolderDate(const std::string& path);
    bool DeleteFolderPermanently(const std::string& path);
    void ExploreFolderAsAdmin(const std::string& folder);

    void FormShow();
    // F1 opens the help.
    void HelpKey();
    void ToolButtonNewClick();
    void SpeedButton1Click();
    // Folders given to the list another way than through the picker (dropped on the
    // window, pasted): each is trimmed of blanks and enclosing quotes, and added as the
    // picker would add it when it names an existing folder; anything else is passed over.
    void AddFolders(const std::vector<std::string>& paths);
    void ButtonSetDateClick();
    void ToolButtonDelClick();
    void Packen1Click();
    void ButtonCloseClick();

    // The row the commands act on, if any.
    std::optional<int> TargetRow() const;

private:
    std::string Text(const TextPair& pair) const { return Pick(MyLanguage, pair); }
    std::string ShortDateText(TDateTime value) const;

    Platform& m_platform;
    IWindowView& m_view;
    IFolderToolsActions& m_actions;
};

} // namespace velmora
