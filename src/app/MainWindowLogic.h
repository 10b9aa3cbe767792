#pragma once
// What the main window decides, written once for every toolkit: the texts of a language,
// what each command does with the controls as they stand, which message follows. A
// window (Qt on Linux, Win32 on Windows) creates the controls, forwards its events here
// and does the few things only a toolkit can (the file's icon, the other windows).
#include "app/AppPaths.h"
#include "common/DateTime.h"
#include "common/LanguageText.h"
#include "common/Waiter.h"
#include "common/WindowView.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What only the window can do; the logic says when.
class IMainWindowActions {
public:
    virtual ~IMainWindowActions() = default;
    // Puts the icon of the file (or folder) at path into "Image1".
    virtual void ShowFileIcon(const std::string& path) = 0;
    // The language button's picture: the image list index of the flag.
    virtual void SetLanguageImage(int imageIndex) = 0;
    // The system's open-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> ChooseFile() = 0;
    virtual void OpenFolderTools(std::int32_t language) = 0;
    virtual void OpenLinkWindow(std::int32_t language, const std::string& program) = 0;
    // The About window, 90 pixels right of and 50 below the main window's corner.
    virtual void OpenAbout(std::int32_t language) = 0;
    // The start screen, modal, titled "Velmora".
    virtual void ShowStartScreen(std::int32_t language) = 0;
    // The list of the processes that hold path; each of its refreshes calls
    // MainWindowLogic::RefreshInUseMark.
    virtual void OpenHeldBy(std::int32_t language, const std::string& path) = 0;
    virtual void StartNoticeTimer() = 0;
    virtual void StopNoticeTimer() = 0;
    virtual void CloseWindow() = 0;
    // Lets the window paint what was just set before a blocking wait.
    virtual void Repaint() {}
};

enum class FunctionKey { F1, F2, F3 };

class MainWindowLogic {
public:
    MainWindowLogic(Platform& platform, IWaiter& waiter, IWindowView& view, IMainWindowActions& actions)
        : m_platform(platform), m_waiter(waiter), m_view(view), m_actions(actions)
    {}

    std::int32_t Language = kEnglish;
    AppPaths Paths;
    std::int32_t UpdateTickCount = 0;
    std::string HelpFile;
    std::string ProductPage;
    int LanguageImageIndex = 13;

    // The start-up sequence of the first showing.
    void FormShow();
    // Saves the settings when the window closes; a failure is shown, the window closes all the same.
    void FormClose();
    void ApplyLanguage();
    void LoadSettings();
    void SaveSettings();
    void StartUpdater();
    void ClearFileView();
    void InspectFile(const std::string& path);
    // A drop: only the first path is shown.
    void WMDropFiles(const std::vector<std::string>& paths);
    // Stores the date as the file's modification time and shows the time read back.
    void ApplyFileDate(const std::string& path, TDateTime dateTime);

    void ToolButton6Click();
    void ToolButton4Click();
    void ToolButtonDirClick();
    void ToolButtonLinkClick();
    void ToolButtonLangClick();
    void ToolButtonUpdateClick();
    void ToolButtonInfoClick();
    void ToolButton1Click();
    void ToolButton7Click();
    void ToolButton2Click();
    void ButtonDefaultsClick();
    void Button1Click();
    void ImageJa3Click();
    void TimerUpdateTimer();
    void FormKeyDown(FunctionKey key);

    // The in-use mark's tooltip: the holders of the current file, in the current language.
    std::string HoldersToolTip() const;
    // Brings the in-use mark up to date for path, by the test that set it.
    void RefreshInUseMark(const std::string& path);

private:
    std::string CurrentPath() const;
    void SetInUseMark(bool shown);

    Platform& m_platform;
    IWaiter& m_waiter;
    IWindowView& m_view;
    IMainWindowActions& m_actions;
};

} // namespace velmora
