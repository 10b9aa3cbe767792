#pragma once
// The folder tools on Win32: create the controls at their design places and forward
// every event to the shared folder tools logic. Besides the picker, folders reach the
// list by a drop on the window or by pasting (Ctrl+V in the list) folders copied in the
// file manager, or paths as text, one a line.
#include "folders/FolderToolsLogic.h"
#include "win32ui/Win32Ui.h"

namespace velmora::win32ui {

class FolderToolsWindow final : public ToolWindow, private IFolderToolsActions {
public:
    explicit FolderToolsWindow(Platform& platform) : m_platform(platform), m_logic(platform, m_controls, *this) {}

    // Shows the window modally over owner in the language, with an empty list.
    void ShowModal(HWND owner, std::int32_t language);

private:
    void OnCommand(int id, int code) override;
    void PaintBackground(HDC dc, const RECT& area) override;
    void OnHelpKey() override { m_logic.HelpKey(); }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Paste();
    static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);

    std::vector<std::string> ChooseFolders(const std::string& caption) override;
    void OpenZipTool(const std::optional<std::string>& folder, std::int32_t language) override;
    void CloseWindow() override { Close(); }

    Platform& m_platform;
    FolderToolsLogic m_logic;
};

} // namespace velmora::win32ui
