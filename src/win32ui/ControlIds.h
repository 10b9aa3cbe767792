#pragma once
// The control IDs of the Win32 windows, shared with the UI test program that finds the
// controls by them (GetDlgItem). The window classes are named here for the same reason.
namespace velmora::win32ui {

inline constexpr const wchar_t* kMainWindowClass = L"VelmoraMainWindow";
inline constexpr const wchar_t* kStartScreenClass = L"VelmoraStartScreen";
inline constexpr const wchar_t* kAboutClass = L"VelmoraAboutBox";
inline constexpr const wchar_t* kFolderToolsClass = L"VelmoraFolderTools";
inline constexpr const wchar_t* kZipToolClass = L"VelmoraZipTool";
inline constexpr const wchar_t* kLinkWindowClass = L"VelmoraLinkWindow";
inline constexpr const wchar_t* kHeldByClass = L"VelmoraHeldBy";

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
    IdAboutLogo,
    IdAboutReleaseLabel,
    IdAboutFreeware,
    IdAboutHost,
    IdAboutDonateEnglish,
    IdAboutDonateGerman,
};

enum FolderControlId : int {
    IdFolderNew = 501,
    IdFolderOpen,
    IdFolderDate,
    IdFolderDelete,
    IdFolderZip,
    IdFolderListLabel,
    IdFolderList,
    IdFolderDateLabel,
    IdFolderDateEdit,
    IdFolderClose,
};

enum ZipControlId : int {
    IdZipNew = 601,
    IdZipZip,
    IdZipUnzip,
    IdZipPasswordLabel,
    IdZipFolderLabel,
    IdZipNameLabel,
    IdZipFolder,
    IdZipName,
    IdZipPassword,
    IdZipChooseFolder,
    IdZipChooseZip,
    IdZipClearPassword,
    IdZipTask,
    IdZipProgress,
    IdZipClose,
};

enum LinkControlId : int {
    IdLinkProgLabel = 701,
    IdLinkProg,
    IdLinkOpen,
    IdLinkFolderLabel,
    IdLinkFolder,
    IdLinkSave,
    IdLinkParameterLabel,
    IdLinkParameter,
    IdLinkParam,
    IdLinkCreate,
    IdLinkCancel,
};

enum HeldByControlId : int {
    IdHeldPath = 801,
    IdHeldList,
    IdHeldNote,
    IdHeldEnd,
    IdHeldClose,
};

// The input box's controls.
enum InputControlId : int {
    IdInputPrompt = 401,
    IdInputEdit,
};

} // namespace velmora::win32ui
