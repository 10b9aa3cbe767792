#pragma once
// The zip tool on Win32: creates the controls at their design places, forwards every
// event to the shared zip tool logic and runs its long steps on a worker thread.
#include "win32ui/Win32Ui.h"
#include "ziptool/ZipToolLogic.h"

#include <thread>

namespace velmora::win32ui {

class ZipToolWindow final : public ToolWindow, private IZipToolActions {
public:
    explicit ZipToolWindow(Platform& platform) : m_logic(platform, m_controls, *this) {}
    ~ZipToolWindow() override;

    // Shows the tool modally over owner in the language; a given folder fills the folder
    // field and the archive beside it.
    void ShowModal(HWND owner, const std::optional<std::string>& folder, std::int32_t language);

private:
    void OnCommand(int id, int code) override;
    void PaintBackground(HDC dc, const RECT& area) override;
    void OnHelpKey() override { m_logic.HelpKey(); }
    bool CanClose() override { return !m_logic.IsBusy(); }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& start) override;
    std::optional<std::string> ChooseArchive(const std::string& caption, const std::string& initial) override;
    void SetZipImage(int imageIndex) override;
    void StartWork(ZipToolWork work) override;
    void SetProgress(int value) override;
    void CloseWindow() override { Close(); }

    ZipToolLogic m_logic;
    std::thread m_worker;
};

} // namespace velmora::win32ui
