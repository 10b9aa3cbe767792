#pragma once
// The main window on Win32: creates the controls at their design places and forwards
// every event to the shared window logic.
#include "app/MainWindowLogic.h"
#include "win32ui/Win32Ui.h"

#include <functional>
#include <memory>

namespace velmora::win32ui {

class MainWindow final : public ControlledWindow, private IMainWindowActions {
public:
    MainWindow(Platform& platform, IWaiter& waiter);
    ~MainWindow() override;

    // Creates the window hidden; Show runs the start-up sequence, then shows it.
    void Create();
    void Show(int showCommand);
    MainWindowLogic& Logic() { return m_logic; }
    // Key preview: F1, F2 and F3 wherever the focus is inside the window. True when taken.
    bool PreviewKey(const MSG& message);
    // Shows a file as a drop of it would.
    void ShowFile(const std::string& path);

    // Used by the window procedure.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void BuildControls();
    void PaintBackground(HDC dc, const RECT& area) override;
    void OnCommand(int id, int code);
    void Guarded(const std::function<void()>& handler);
    void RefreshHoldersHint();
    void SetDragAndDropOnSystemsWIthUAC(HWND window, bool enabled);

    void ShowFileIcon(const std::string& path) override;
    void SetLanguageImage(int imageIndex) override;
    std::optional<std::string> ChooseFile() override;
    void OpenFolderTools(std::int32_t language) override;
    void OpenLinkWindow(std::int32_t language, const std::string& program) override;
    void OpenAbout(std::int32_t language) override;
    void ShowStartScreen(std::int32_t language) override;
    void OpenHeldBy(std::int32_t language, const std::string& path) override;
    void StartNoticeTimer() override;
    void StopNoticeTimer() override;
    void CloseWindow() override;
    void Repaint() override;

    Platform& m_platform;
    IWaiter& m_waiter;
    MainWindowLogic m_logic;
    HICON m_fileIcon = nullptr;
    bool m_startupRan = false;
};

} // namespace velmora::win32ui
