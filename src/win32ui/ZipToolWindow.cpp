#include "win32ui/ZipToolWindow.h"

#include "archive/zip/ZipTexts.h"
#include "win32ui/ControlIds.h"
#include "win32ui/Dialogs.h"
#include "win32ui/Resources.h"

#include <algorithm>
#include <memory>

namespace velmora::win32ui {

namespace {
constexpr int kClientWidth = 492;
constexpr int kClientHeight = 198;
constexpr UINT kProgressMessage = WM_APP + 1;
constexpr UINT kWorkEndedMessage = WM_APP + 2;
} // namespace

ZipToolWindow::~ZipToolWindow()
{
    if (m_worker.joinable()) m_worker.join();
}

void ZipToolWindow::ShowModal(HWND owner, const std::optional<std::string>& folder, std::int32_t language)
{
    CreateToolWindow(kZipToolClass, owner, kClientWidth, kClientHeight);
    m_controls.SetOwnerName(ZipToolLogic::kWindow);
    ControlSet& c = m_controls;
    c.AddToolbar(200, {{"ToolButtonNew", IdZipNew, IDI_NEW},
                       {"ToolButtonZip", IdZipZip, IDI_PROTECT},
                       {"ToolButtonDel", IdZipUnzip, IDI_UNZIP}});

    const ControlLook arial10{L"Arial", 10};
    c.Add("Label2", IdZipFolderLabel, ControlKind::Label, 13, 44, 0, 0, arial10);
    c.Add("Edit1", IdZipFolder, ControlKind::Edit, 84, 39, 359, 24, arial10);
    c.Add("Label3", IdZipNameLabel, ControlKind::Label, 13, 72, 0, 0, arial10);
    c.Add("Edit3", IdZipName, ControlKind::Edit, 81, 69, 359, 24, arial10);
    c.Add("Label1", IdZipPasswordLabel, ControlKind::Label, 13, 105, 0, 0, arial10);
    c.Add("EditPass", IdZipPassword, ControlKind::Edit, 84, 100, 359, 24, arial10);
    ControlLook glyph;
    glyph.iconResource = IDI_OPEN_FOLDER;
    c.Add("SpeedButton2", IdZipChooseFolder, ControlKind::FlatButton, 446, 35, 28, 29, glyph);
    glyph.iconResource = IDI_ZIP;
    c.Add("SpeedButton4", IdZipChooseZip, ControlKind::FlatButton, 446, 66, 28, 29, glyph);
    glyph.iconResource = IDI_CLEAR;
    c.Add("SpeedButtonPass", IdZipClearPassword, ControlKind::FlatButton, 446, 97, 28, 29, glyph);
    // PanelButton (84, 134, 359 x 30) holds ButtonClose, which fills it.
    c.Add("ButtonClose", IdZipClose, ControlKind::PushButton, 84, 134, 359, 30);
    c.Add("ProgressBar", IdZipProgress, ControlKind::Progress, 100, 167, 317, 8);
    SendMessageW(c.Find("ProgressBar"), PBM_SETRANGE32, 0, 1000);
    c.SetShown("ProgressBar", false);
    ControlLook task;
    task.align = SS_CENTER;
    c.Add("LabelTask", IdZipTask, ControlKind::Label, 100, 176, 317, 14, task);

    // As the window is made: the default password, and the picture and texts that follow from it.
    c.SetText("EditPass", ZipTexts::kDefaultPassword);
    m_logic.EditPassChange();
    m_logic.ApplyLanguage();
    m_logic.ForFolder(folder, language);
    Guarded([this] { m_logic.FormShow(); });
    RunModal();
}

void ZipToolWindow::PaintBackground(HDC dc, const RECT&)
{
    PaintToolbarWindow(dc, WindowDpi(m_hwnd), {kClientWidth, kClientHeight}, RGB(0xFF, 0xFB, 0xF0),
                       RGB(0xE0, 0xE0, 0xE0));
}

void ZipToolWindow::OnCommand(int id, int code)
{
    if (id == IdZipPassword && code == EN_CHANGE) {
        m_logic.EditPassChange();
        // The zip button's hint follows its picture (there is no hover event to wait for).
        m_logic.ToolButtonZipMouseEnter();
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
    case IdZipNew:
        m_logic.ButtonNewClick();
        break;
    case IdZipZip:
        m_logic.ButtonarchivClick();
        break;
    case IdZipUnzip:
        m_logic.BitBtn3Click();
        break;
    case IdZipChooseFolder:
        m_logic.SpeedButton1Click();
        break;
    case IdZipChooseZip:
        m_logic.SpeedButton3Click();
        break;
    case IdZipClearPassword:
        m_logic.SpeedButtonPassClick();
        break;
    case IdZipClose:
        m_logic.BitBtn4Click();
        break;
    default:
        break;
    }
}

bool ZipToolWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == kProgressMessage) {
        SetProgress(static_cast<int>(wParam));
        result = 0;
        return true;
    }
    if (message == kWorkEndedMessage) {
        const std::unique_ptr<ZipToolOutcome> outcome(reinterpret_cast<ZipToolOutcome*>(lParam));
        if (m_worker.joinable()) m_worker.join();
        m_logic.WorkEnded(*outcome);
        result = 0;
        return true;
    }
    return false;
}

std::optional<std::string> ZipToolWindow::ChooseFolder(const std::string& caption, const std::string& start)
{
    const std::vector<std::string> chosen = ChooseFoldersDialog(m_hwnd, caption, start, false);
    if (chosen.empty()) return std::nullopt;
    return chosen.front();
}

std::optional<std::string> ZipToolWindow::ChooseArchive(const std::string& caption, const std::string& initial)
{
    return ChooseFileDialog(m_hwnd, caption, initial, false);
}

void ZipToolWindow::SetZipImage(int imageIndex)
{
    m_controls.SetButtonIcon("ToolButtonZip", imageIndex == ZipToolLogic::kProtectImage ? IDI_PROTECT : IDI_ZIP);
}

void ZipToolWindow::SetProgress(int value)
{
    SendMessageW(m_controls.Find("ProgressBar"), PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void ZipToolWindow::StartWork(ZipToolWork work)
{
    if (m_worker.joinable()) m_worker.join();
    HWND window = m_hwnd;
    m_worker = std::thread([window, work = std::move(work)]() {
        int lastValue = -1;
        const auto progress = [window, &lastValue](std::uint64_t value, std::uint64_t total) {
            const int scaled = total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(value, total) * 1000 / total);
            if (scaled == lastValue) return;
            lastValue = scaled;
            PostMessageW(window, kProgressMessage, static_cast<WPARAM>(scaled), 0);
        };
        auto outcome = std::make_unique<ZipToolOutcome>(work(progress));
        PostMessageW(window, kWorkEndedMessage, 0, reinterpret_cast<LPARAM>(outcome.release()));
    });
}

} // namespace velmora::win32ui
