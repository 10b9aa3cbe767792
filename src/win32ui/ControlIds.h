#pragma once
// The control IDs of the Win32 windows, shared with the UI test program that finds the
// controls by them (GetDlgItem). The window classes are named here for the same reason.
namespace velmora::win32ui {

inline constexpr const wchar_t* kMainWindowClass = L"VelmoraMainWindow";
inline constexpr const wchar_t* kStartScreenClass = L"VelmoraStartScreen";
inline constexpr const wchar_t* kAboutClass = L"VelmoraAboutBox";

enum MainControlId : int {
    IdToolButton6 = 101,
    IdToolButton4,
    IdToolButtonDir,
    IdToolButtonLink,
    IdToolButtonLang,
    IdToolButtonUpdate,
    IdToolButtonInfo,
    IdGroupBox1,
    IdLabel1,
    IdImageJa3,
    IdLabel5,
    IdEdit1,
    IdSpeedButton2,
    IdLabelLApp,
    IdEditLApp,
    IdSpeedButton4,
    IdLabelDefApp,
    IdEditDefApp,
    IdLabelExt,
    IdButtonDefaults,
    IdLabel3,
    IdEditGr,
    IdLabelBytes,
    IdLabel2,
    IdEditDate1,
    IdSpeedButton3,
    IdLabel6,
    IdEditDate2,
    IdLabel4,
    IdCheckBox2,
    IdCheckBox3,
    IdCheckBox4,
    IdCheckBox5,
    IdLabelIcon,
    IdImage1,
    IdButtonClose,
};

enum StartControlId : int {
    IdStartTitle = 201,
    IdStartFreeware,
    IdStartHost,
};

enum AboutControlId : int {
    IdAboutProduct = 301,
    IdAboutRelease,
    IdAboutClose,
};

// The input box's controls.
enum InputControlId : int {
    IdInputPrompt = 401,
    IdInputEdit,
};

} // namespace velmora::win32ui
