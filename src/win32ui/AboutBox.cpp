#include "win32ui/AboutBox.h"

#include "info/InfoTexts.h"
#include "win32ui/ControlIds.h"
#include "win32ui/Resources.h"

namespace velmora::win32ui {

namespace {
constexpr int kWidth = 286;
constexpr int kHeight = 338;
} // namespace

void AboutBox::ShowModal(HWND owner, std::int32_t language, int x, int y)
{
    CreateToolWindow(kAboutClass, owner, kWidth, kHeight, WS_POPUP, WS_EX_TOOLWINDOW);
    SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_controls.SetOwnerName(AboutLogic::kWindow);
    ControlSet& c = m_controls;
    // The logo and the donation pictures act as links.
    ControlLook logo;
    logo.pictureResource = IDB_LOGO;
    c.Add("Image2", IdAboutLogo, ControlKind::Picture, 5, 0, 272, 87, logo);
    ControlLook title{L"Century Gothic", -21};
    title.align = SS_CENTER;
    c.Add("Label1", IdAboutProduct, ControlKind::Label, 5, 91, 272, 30, title);
    c.SetText("Label1", kProductName);
    const ControlLook arial12{L"Arial", -12};
    c.Add("LabelRelease", IdAboutReleaseLabel, ControlKind::Label, 91, 121, 0, 0, arial12);
    c.SetText("LabelRelease", kReleaseLabel);
    c.Add("LabelVersion", IdAboutRelease, ControlKind::Label, 144, 121, 0, 0, arial12);
    c.SetText("LabelVersion", kAboutReleaseText);
    ControlLook centred = arial12;
    centred.align = SS_CENTER;
    c.Add("Label6", IdAboutFreeware, ControlKind::Label, 8, 163, 240, 15, centred);
    c.SetText("Label6", kFreewareText);
    ControlLook link = centred;
    link.underline = true;
    link.text = RGB(0, 0, 255);
    c.Add("Label5", IdAboutHost, ControlKind::Label, 5, 182, 252, 15, link);
    // The donation pictures of the two languages share a place; the logic shows one.
    ControlLook donate;
    donate.pictureResource = IDB_DONATE_EN;
    c.Add("Image1", IdAboutDonateEnglish, ControlKind::Picture, 51, 207, 152, 58, donate);
    donate.pictureResource = IDB_DONATE_DE;
    c.Add("Image3", IdAboutDonateGerman, ControlKind::Picture, 76, 207, 104, 51, donate);
    // Panel3 (32, 281, 200 x 30) holds ButtonClose, which fills it.
    c.Add("ButtonClose", IdAboutClose, ControlKind::PushButton, 32, 281, 200, 30);
    c.SetText("ButtonClose", kAboutCloseText);

    m_logic.ALanguage = language;
    Guarded([this] { m_logic.FormShow(); });
    RunModal();
}

void AboutBox::PaintBackground(HDC dc, const RECT&)
{
    const UINT dpi = WindowDpi(m_hwnd);
    RECT frame{0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi)};
    const RECT inner{1, 1, Scale(281, dpi) + 1, Scale(332, dpi) + 1};
    HBRUSH window = CreateSolidBrush(RGB(226, 226, 226));
    FillRect(dc, &frame, window);
    DeleteObject(window);
    FillVerticalGradient(dc, inner, RGB(245, 241, 238), RGB(170, 170, 170), 200);
    DrawEdge(dc, &frame, BDR_RAISEDOUTER | BDR_RAISEDINNER, BF_RECT);
}

void AboutBox::OnCommand(int id, int code)
{
    if (code != BN_CLICKED && code != STN_CLICKED) return;
    switch (id) {
    case IdAboutHost:
    case IdAboutLogo:
        m_logic.Label5Click();
        break;
    case IdAboutDonateEnglish:
    case IdAboutDonateGerman:
        m_logic.Image1Click();
        break;
    case IdAboutClose:
        m_logic.SpeedButton1Click();
        break;
    default:
        break;
    }
}

bool AboutBox::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_SETCURSOR) return false;
    const HWND over = reinterpret_cast<HWND>(wParam);
    for (const char* link : {"Label5", "Image2", "Image1", "Image3"}) {
        if (over == m_controls.Find(link)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
    }
    return false;
}

} // namespace velmora::win32ui
