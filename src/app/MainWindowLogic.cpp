#include "app/MainWindowLogic.h"

#include "app/AdminTest.h"
#include "app/MainTexts.h"
#include "app/Settings.h"
#include "common/AsciiText.h"
#include "common/DateTimeText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "fileops/AttributeEdit.h"
#include "fileops/FileDateEdit.h"
#include "fileops/FileHolders.h"
#include "fileops/FileOpsTexts.h"
#include "fileops/FileTarget.h"
#include "fileops/ProcessTermination.h"
#include "info/ProductLinks.h"
#include "inspect/InspectRules.h"
#include "inspect/Inspection.h"
#include "platform/IAssociations.h"
#include "platform/IDesktopSettings.h"
#include "platform/IFileAttributes.h"
#include "platform/IFileHolders.h"
#include "platform/IFileTimes.h"
#include "platform/IFileUsage.h"
#include "platform/ILocaleFormats.h"
#include "platform/IProcesses.h"
#include "ui/HelpFile.h"
#include "update/ReleaseVersion.h"
#include "update/UpdateNotice.h"
#include "update/UpdateTexts.h"

#include <filesystem>
#include <utility>

namespace velmora {

namespace {
constexpr std::chrono::milliseconds kSettleTime{200};

// The attribute boxes, in the order of the attribute bits they stand for.
constexpr const char* kArchiveBox = "CheckBox2";
constexpr const char* kReadOnlyBox = "CheckBox3";
constexpr const char* kHiddenBox = "CheckBox4";
constexpr const char* kSystemBox = "CheckBox5";
} // namespace

std::string MainWindowLogic::CurrentPath() const
{
    const std::string text = m_view.Text("Edit1");
    return std::string(TrimBlanks(text));
}

void MainWindowLogic::SetInUseMark(bool shown)
{
    m_view.SetShown("ImageJa3", shown);
    m_view.SetShown("Label5", shown);
}

void MainWindowLogic::FormShow()
{
    Language = kEnglish;
    UpdateTickCount = 0;
    try {
        Paths = DeriveAppPaths(*m_platform.environment);
        EnsureDataFolder(Paths);
        LoadSettings();
        m_actions.ShowStartScreen(Language);
        ApplyLanguage();
        if (!TestAdminRights(m_platform.environment->SystemDriveRoot())) {
            m_view.MessageDialog(DialogKind::Warning, Pick(Language, MainMessages::kAdminWarning));
        }
        ClearFileView();
        StartUpdater();
    } catch (const std::exception& error) {
        m_view.ErrorBox(error.what());
    }
}

void MainWindowLogic::FormClose()
{
    // The program ends even when the settings cannot be written; the user is told.
    try {
        SaveSettings();
    } catch (const std::exception& error) {
        m_view.ErrorBox(error.what());
    }
}

void MainWindowLogic::LoadSettings()
{
    LoadSettingsFile(Paths.settingsFile, Language);
}

void MainWindowLogic::SaveSettings()
{
    SaveSettingsFile(Paths.settingsFile, Language);
}

void MainWindowLogic::ApplyLanguage()
{
    for (const ControlText& entry : MainWindowTexts()) {
        const char* text = Pick(Language, entry.text);
        if (entry.target == TextTarget::Hint) {
            m_view.SetHint(entry.control, text);
        } else {
            m_view.SetText(entry.control, text);
        }
    }
    LanguageImageIndex = IsEnglish(Language) ? kBritishFlagImage : kGermanFlagImage;
    m_actions.SetLanguageImage(LanguageImageIndex);
    HelpFile = HelpFilePath(*m_platform.environment, Language);
    ProductPage = Pick(Language, kProductPage);
}

void MainWindowLogic::StartUpdater()
{
    // The start's result is of no interest: a missing updater simply writes no release file.
    m_platform.shell->StartHidden(Paths.updaterPath, {Paths.programFileName, "false"});
    m_actions.StartNoticeTimer();
}

void MainWindowLogic::Button1Click()
{
    m_actions.CloseWindow();
}

std::string MainWindowLogic::HoldersToolTip() const
{
    const std::string path = CurrentPath();
    if (path.empty()) return {};
    const HolderList list = m_platform.holders->ListHolders(path);
    if (!list.exists) return {};
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(PathFromUtf8(path), ec);
    const std::string canonical = ec ? path : Utf8FromPath(resolved);
    return std::string(Pick(Language, HolderTexts::kTitle)) + ":\n" + HoldersSummary(list, canonical, Language);
}

void MainWindowLogic::ImageJa3Click()
{
    const std::string path = CurrentPath();
    if (path.empty()) return;
    m_actions.OpenHeldBy(Language, path);
}

void MainWindowLogic::RefreshInUseMark(const std::string& path)
{
    SetInUseMark(m_platform.usage->IsFileInUse(path));
}

void MainWindowLogic::ToolButtonLangClick()
{
    Language = SwitchedLanguage(Language);
    ApplyLanguage();
}

void MainWindowLogic::ToolButton6Click()
{
    ClearFileView();
}

void MainWindowLogic::ToolButtonDirClick()
{
    m_actions.OpenFolderTools(Language);
}

void MainWindowLogic::ToolButtonLinkClick()
{
    m_actions.OpenLinkWindow(Language, CurrentPath());
}

void MainWindowLogic::ToolButtonUpdateClick()
{
    m_platform.shell->OpenUrl(ProductPage);
}

void MainWindowLogic::ToolButtonInfoClick()
{
    m_actions.OpenAbout(Language);
}

void MainWindowLogic::ToolButton1Click()
{
    const std::optional<std::string> chosen = m_actions.ChooseFile();
    if (!chosen) return;
    ClearFileView();
    // The chosen path keeps its case: file names are case-sensitive on Linux, and on
    // Windows the shell shows names as they are stored.
    m_view.SetText("Edit1", *chosen);
    InspectFile(m_view.Text("Edit1"));
}

void MainWindowLogic::WMDropFiles(const std::vector<std::string>& paths)
{
    if (paths.empty()) return;
    ClearFileView();
    m_view.SetText("Edit1", paths.front());
    InspectFile(paths.front());
}

void MainWindowLogic::FormKeyDown(FunctionKey key)
{
    switch (key) {
    case FunctionKey::F1:
        m_platform.shell->OpenHelp(HelpFile, 1);
        break;
    case FunctionKey::F2:
        ToolButtonLangClick();
        break;
    case FunctionKey::F3:
        m_view.ShowMessage("", kReleaseText, MsgIcon::None);
        break;
    }
}

void MainWindowLogic::ClearFileView()
{
    SetInUseMark(false);
    for (const char* edit : {"Edit1", "EditLApp", "EditDefApp", "EditGr", "EditDate1", "EditDate2", "LabelExt"}) {
        m_view.SetText(edit, "");
    }
    for (const char* box : {kArchiveBox, kReadOnlyBox, kHiddenBox, kSystemBox}) {
        m_view.SetChecked(box, false);
    }
    m_view.SetShown("Image1", false);
    m_view.SetShown("LabelIcon", false);
}

void MainWindowLogic::InspectFile(const std::string& path)
{
    Result<InspectedFile> gathered = GatherInspection(path, m_platform);
    // The window shows the failure in the standard error box.
    if (!gathered) throw VelmoraError(ErrorText(gathered.error(), Language));
    const InspectedFile record = std::move(gathered).value();

    // Both the picture and its label show even when no icon is found.
    m_actions.ShowFileIcon(path);
    m_view.SetShown("Image1", true);
    m_view.SetShown("LabelIcon", true);

    // The mark is only ever set here; "New" and a new file clear it.
    if (record.inUse) SetInUseMark(true);

    switch (record.lookupCode) {
    case kFindFileNotFound:
        m_view.MessageDialog(DialogKind::Error, "File not found: \"" + record.lookupFile + "\" .");
        break;
    case kFindPathNotFound:
        m_view.MessageDialog(DialogKind::Error, "Path \"" + record.lookupFolder + "\" not found.");
        break;
    case kFindBadFormat:
        m_view.MessageDialog(DialogKind::Error, "Invalid Executable");
        break;
    default:
        break;
    }

    m_view.SetText("LabelExt", record.extension);
    if (!TrimBlanks(record.userChoiceApplication).empty()) {
        m_view.SetText("EditLApp", record.userChoiceApplication);
    }
    m_view.SetText("EditDefApp", record.defaultApplicationName);
    m_view.SetText("EditGr", record.sizeNumber);
    m_view.SetText("LabelBytes", record.sizeUnit);
    m_view.SetText("EditDate1", record.modifiedText);
    m_view.SetText("EditDate2", record.lastAccessText);

    // A box is only ever ticked here, never cleared.
    const std::pair<bool, const char*> boxes[] = {{record.archive, kArchiveBox},
                                                  {record.readOnly, kReadOnlyBox},
                                                  {record.hidden, kHiddenBox},
                                                  {record.system, kSystemBox}};
    for (const auto& [set, box] : boxes) {
        if (set) m_view.SetChecked(box, true);
    }
}

void MainWindowLogic::ToolButton4Click()
{
    const std::string path = CurrentPath();
    if (!IsExistingFile(path)) return;
    const std::uint32_t attributes = AttributesFromBoxes({m_view.Checked(kArchiveBox), m_view.Checked(kReadOnlyBox),
                                                          m_view.Checked(kHiddenBox), m_view.Checked(kSystemBox)});
    IFileAttributes& store = *m_platform.attributes;
    // A set the system cannot hold (Hidden cleared on a dot name) is refused with its
    // reason; other failed writes are not reported: the inspection shows what the file has.
    const bool refused = store.RefusalFor(path, attributes) != AttributeRefusal::None;
    const bool written = !refused && store.WriteAttributes(path, attributes).has_value();
    m_waiter.Wait(kSettleTime);
    InspectFile(path);
    if (refused) {
        m_view.ShowMessage(FileOpsMessages::kCaption, Pick(Language, FileOpsMessages::kNameAlwaysHidden),
                           MsgIcon::Error);
    } else if (written) {
        m_view.ShowMessage(FileOpsMessages::kCaption, Pick(Language, MainMessages::kAttributesChanged),
                           MsgIcon::Information);
    }
}

void MainWindowLogic::ToolButton7Click()
{
    const std::string path = CurrentPath();
    if (!IsExistingFile(path)) return;
    // The view decides: a ticked "Read only" (saved or not) or the in-use mark refuses.
    if (m_view.Checked(kReadOnlyBox) || m_view.Shown("ImageJa3")) {
        m_view.ShowMessage(FileOpsMessages::kCaption, Pick(Language, MainMessages::kDateRefused), MsgIcon::Error);
        return;
    }
    const LocaleFormats formats = m_platform.localeFormats->Formats();
    const std::string proposal = FormatDateTimeText(m_platform.times->Now(), formats);
    const std::optional<std::string> entered = m_view.InputBox(Pick(Language, MainMessages::kDatePromptCaption),
                                                               Pick(Language, MainMessages::kDatePromptText), proposal);
    // Cancel leaves the file as it is.
    if (!entered) return;
    const std::optional<TDateTime> dateTime = ParseDateTimeText(*entered, formats);
    if (!dateTime) throw VelmoraError(InvalidDateTimeText(*entered));
    ApplyFileDate(path, *dateTime);
    m_actions.Repaint();
    m_waiter.Wait(kSettleTime);
    InspectFile(path);
}

void MainWindowLogic::ApplyFileDate(const std::string& path, TDateTime dateTime)
{
    // A date that cannot be stored, or a file that is read-only or held by another
    // program, keeps its old time without a message; the re-inspection shows it.
    const FileDateOutcome outcome =
        velmora::ApplyFileDate(path, dateTime, {*m_platform.times, *m_platform.attributes, *m_platform.usage});
    if (outcome.readBack) {
        m_view.SetText("EditDate1", FormatDateTimeText(*outcome.readBack, m_platform.localeFormats->Formats()));
    }
}

void MainWindowLogic::ToolButton2Click()
{
    const std::string userChoice = m_view.Text("EditLApp");
    if (TrimBlanks(userChoice).empty()) return;
    const std::string defaultApp = m_view.Text("EditDefApp");
    const std::string launcher = LauncherAmong(m_platform.environment->Paths(), {userChoice, defaultApp});
    if (!launcher.empty()) {
        // Ending a shell or interpreter by name would end every program that runs under it.
        std::string text = Pick(Language, FileOpsMessages::kLauncherRefused);
        if (const std::size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, launcher);
        m_view.ShowMessage(FileOpsMessages::kCaption, text, MsgIcon::Error);
        return;
    }
    const bool ended = EndAssociatedPrograms(*m_platform.processes, m_platform.environment->Paths(), m_waiter,
                                             {userChoice, defaultApp});
    if (ended) {
        m_view.ShowMessage(FileOpsMessages::kCaption, Pick(Language, FileOpsMessages::kTerminated),
                           MsgIcon::Information);
    } else {
        m_view.ShowMessage(FileOpsMessages::kCaption, Pick(Language, FileOpsMessages::kNotRunning), MsgIcon::Error);
    }
    // Only the in-use mark is brought up to date; the rest of the view stays as it is.
    SetInUseMark(m_platform.usage->IsFileLocked(CurrentPath()));
}

void MainWindowLogic::ButtonDefaultsClick()
{
    if (!m_platform.desktopSettings->OpenDefaultApps()) {
        m_view.MessageDialog(DialogKind::Error, kDefaultAppsFailedText);
    }
}

void MainWindowLogic::TimerUpdateTimer()
{
    const std::string localVersion = ProgramVersionText(Language);
    const Result<UpdateTickResult> tick = UpdateTick(UpdateTickCount, Paths.temporaryFile, localVersion, Language);
    // The window's handler shows the text in the standard error box.
    if (!tick) throw VelmoraError(ErrorText(tick.error(), Language));
    switch (*tick) {
    case UpdateTickResult::KeepPolling:
        return;
    case UpdateTickResult::StopPolling:
        m_actions.StopNoticeTimer();
        return;
    case UpdateTickResult::ShowNotice:
        // Off before the box opens, so no further tick runs while it waits for the user.
        m_actions.StopNoticeTimer();
        m_view.ShowMessage(kUpdaterCaption, Pick(Language, kUpdateNoticeText), MsgIcon::Information);
        m_platform.shell->OpenUrl(ProductPage);
        return;
    }
}

} // namespace velmora
