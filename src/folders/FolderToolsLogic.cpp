#include "folders/FolderToolsLogic.h"

#include "common/Errors.h"
#include "common/FolderSafety.h"
#include "common/Utf8Path.h"
#include "folders/FolderDates.h"
#include "folders/FolderTexts.h"
#include "folders/FolderTools.h"
#include "platform/FileMetadata.h"
#include "platform/FolderRemoval.h"
#include "ui/HelpFile.h"

#include <cstring>
#include <filesystem>

namespace velmora {

namespace {
constexpr const char* kList = "DirectoryList";
constexpr int kPathColumn = 1;
constexpr int kDateColumn = 2;

void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}
} // namespace

void FolderToolsLogic::ApplyLanguage()
{
    m_view.SetText(kWindow, Text(FolderTexts::kCaption));
    m_view.SetHint("ToolButtonNew", Text(FolderTexts::kNewHint));
    m_view.SetHint("ToolButtonOpen", Text(FolderTexts::kOpenHint));
    m_view.SetHint("ToolButtonDate", Text(FolderTexts::kDateHint));
    m_view.SetHint("ToolButtonDel", Text(FolderTexts::kDelHint));
    m_view.SetHint("ToolButtonZip", Text(FolderTexts::kZipHint));
    m_view.SetText("LabelDirectories", Text(FolderTexts::kFolderList));
    m_view.SetColumns(kList, {"", Text(FolderTexts::kPathColumn), Text(FolderTexts::kDateColumn)});
    m_view.SetText("LabelDate", Text(FolderTexts::kNewDate));
    m_view.SetText("ButtonClose", Text(FolderTexts::kClose));
    m_actions.TextsApplied();
}

void FolderToolsLogic::FormShow()
{
    ToolButtonNewClick();
    m_view.SetText("EditDate", ShortDateText(TodayLocal(*m_platform.times)));
    ApplyLanguage();
}

void FolderToolsLogic::HelpKey()
{
    m_platform.shell->OpenHelp(HelpFilePath(*m_platform.environment, MyLanguage), 2);
}

void FolderToolsLogic::ToolButtonNewClick()
{
    m_view.SetText("EditDate", "");
    m_view.ClearRows(kList);
    m_view.SetText("EditDate", ShortDateText(TodayLocal(*m_platform.times)));
}

std::string FolderToolsLogic::ShortDateText(TDateTime value) const
{
    return FolderDateText(*m_platform.localeFormats, value);
}

TDateTime FolderToolsLogic::FolderDate(const std::string& path)
{
    return velmora::FolderDate(*m_platform.times, WithoutTrailingSeparator(path));
}

bool FolderToolsLogic::NT_SetDateTime(const std::string& fileName, TDateTime dtCreation, TDateTime dtLastAccessTime,
                                      TDateTime dtLastWriteTime)
{
    return SetFolderTimes(*m_platform.times, fileName, dtCreation, dtLastAccessTime, dtLastWriteTime).has_value();
}

bool FolderToolsLogic::DeleteFolderPermanently(const std::string& path)
{
    const std::filesystem::path folder = PathFromUtf8(path);
    // Never the root, nor a folder that holds the running program or the user's home.
    if (IsGuardedFolder(
            folder, GuardedPaths(m_platform.environment->ProgramFilePath(), m_platform.environment->HomeFolder()))) {
        return false;
    }
    return velmora::DeleteFolderPermanently(folder).has_value();
}

void FolderToolsLogic::ExploreFolderAsAdmin(const std::string& folder)
{
    if (!m_platform.shell->ShowFolder(folder)) {
        m_view.ShowMessage("ZaDI", Text(FolderTexts::kExplorerFailed), MsgIcon::Information);
    }
}

void FolderToolsLogic::SpeedButton1Click()
{
    for (const std::string& path : m_actions.ChooseFolders(Text(FolderTexts::kOpenHint))) {
        m_view.AddRow(kList, {"", path, ShortDateText(FolderDate(path))});
    }
}

void FolderToolsLogic::AddFolders(const std::vector<std::string>& paths)
{
    for (std::string path : paths) {
        const std::size_t first = path.find_first_not_of(" \t\r\n");
        const std::size_t last = path.find_last_not_of(" \t\r\n");
        path = first == std::string::npos ? std::string() : path.substr(first, last - first + 1);
        if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
        std::error_code ec;
        if (path.empty() || !std::filesystem::is_directory(PathFromUtf8(path), ec)) continue;
        // As the picker names a folder: without a trailing separator, except a root ("/", "C:\\").
        while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') &&
               !(path.size() == 3 && path[1] == ':')) {
            path.pop_back();
        }
        m_view.AddRow(kList, {"", path, ShortDateText(FolderDate(path))});
    }
}

std::optional<int> FolderToolsLogic::TargetRow() const
{
    const std::optional<std::size_t> row = velmora::TargetRow(m_view.SelectedRows(kList));
    if (!row) return std::nullopt;
    return static_cast<int>(*row);
}

void FolderToolsLogic::ButtonSetDateClick()
{
    const int rows = m_view.RowCount(kList);
    if (rows == 0) return;
    const std::string entered = m_view.Text("EditDate");
    const std::optional<TDateTime> newDate = ParseFolderDate(*m_platform.localeFormats, entered);
    if (!newDate) {
        std::string message = FolderTexts::kInvalidDateFormat;
        ReplaceAll(message, "%s", entered);
        throw VelmoraError(message);
    }
    if (!FitsFolderDate(*newDate)) {
        m_view.MessageDialog(DialogKind::Error, Text(FolderTexts::kDateOutOfRange));
        return;
    }
    const auto keep = GuardedPaths(m_platform.environment->ProgramFilePath(), m_platform.environment->HomeFolder());
    // A folder whose times cannot be set is never taken over: it is re-created only when
    // it is busy, and only by a copy that keeps everything; each refusal says why.
    std::string refusals;
    for (int row = 0; row < rows; ++row) {
        const std::string path = m_view.Cell(kList, row, kPathColumn);
        const FolderDateResult result =
            ApplyFolderDate(*m_platform.times, path, *newDate, keep, {CopyMetadata, SameMetadata});
        std::string refusal;
        switch (result.outcome) {
        case FolderDateOutcome::Set:
        case FolderDateOutcome::Recreated:
            m_view.SetCell(kList, row, kDateColumn, ShortDateText(*newDate));
            continue;
        case FolderDateOutcome::NotPermitted:
            refusal = Text(FolderTexts::kDateNotPermitted);
            break;
        case FolderDateOutcome::Failed:
            refusal = Text(FolderTexts::kDateFailed);
            ReplaceAll(refusal, "%2", std::strerror(result.error.systemError));
            break;
        case FolderDateOutcome::NotRecreated:
            refusal = Text(FolderTexts::kDateNotRecreated);
            ReplaceAll(refusal, "%2", result.error.detail);
            break;
        }
        ReplaceAll(refusal, "%1", path);
        refusals += (refusals.empty() ? "" : "\n\n") + refusal;
    }
    if (!refusals.empty()) m_view.MessageDialog(DialogKind::Error, refusals);
    const std::string last = WithoutTrailingSeparator(m_view.Cell(kList, rows - 1, kPathColumn));
    ExploreFolderAsAdmin(m_platform.environment->Paths().FolderWithSeparator(last));
}

void FolderToolsLogic::ToolButtonDelClick()
{
    if (m_view.RowCount(kList) == 0) return;
    const std::optional<int> target = TargetRow();
    if (!target) {
        m_view.MessageDialog(DialogKind::Information, Text(FolderTexts::kNoDirectory));
        return;
    }
    const std::string path = m_view.Cell(kList, *target, kPathColumn);
    std::error_code ec;
    if (!std::filesystem::is_directory(PathFromUtf8(path), ec)) {
        m_view.MessageDialog(DialogKind::Error, Text(FolderTexts::kFolderNotFound));
        return;
    }
    if (IsGuardedFolder(PathFromUtf8(path), GuardedPaths(m_platform.environment->ProgramFilePath(),
                                                         m_platform.environment->HomeFolder()))) {
        m_view.MessageDialog(DialogKind::Error, Text(FolderTexts::kDeleteGuarded));
        return;
    }
    if (m_view.ShowMessage("DarEzez", Text(FolderTexts::kDeleteQuestion), MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes) {
        return;
    }
    if (DeleteFolderPermanently(path)) {
        m_view.MessageDialog(DialogKind::Information, Text(FolderTexts::kDeleted));
    } else {
        m_view.MessageDialog(DialogKind::Error, Text(FolderTexts::kDeleteFailed));
    }
}

void FolderToolsLogic::Packen1Click()
{
    std::optional<std::string> folder;
    if (const std::optional<int> target = TargetRow()) folder = m_view.Cell(kList, *target, kPathColumn);
    m_actions.OpenZipTool(folder, MyLanguage);
}

void FolderToolsLogic::ButtonCloseClick()
{
    m_actions.CloseWindow();
}

} // namespace velmora
