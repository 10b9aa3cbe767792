#include "app/HeldByLogic.h"

#include "common/Utf8Path.h"
#include "fileops/FileHolders.h"
#include "platform/IProcesses.h"

#include <chrono>
#include <filesystem>

namespace velmora {

namespace {
constexpr std::chrono::milliseconds kSettleTime{200};
constexpr const char* kList = "ListHolders";

// The path with every link resolved; the path itself when it cannot be resolved.
std::string Canonical(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(PathFromUtf8(path), ec);
    return ec ? path : Utf8FromPath(resolved);
}
} // namespace

void HeldByLogic::ApplyLanguage()
{
    m_view.SetText(kWindow, Pick(Language, HolderTexts::kTitle));
    m_view.SetColumns(kList, {Pick(Language, HolderTexts::kProcessColumn), Pick(Language, HolderTexts::kProgramColumn),
                              Pick(Language, HolderTexts::kUserColumn), Pick(Language, HolderTexts::kHowColumn)});
    m_view.SetText("ButtonEnd", Pick(Language, HolderTexts::kEndButton));
    m_view.SetText("ButtonCloseList", Pick(Language, HolderTexts::kCloseButton));
    m_actions.TextsApplied();
}

void HeldByLogic::RefreshList()
{
    m_canonical = Canonical(Path);
    m_list = m_platform.holders->ListHolders(Path);
    m_view.SetText("LabelPath", m_canonical);
    m_view.ClearRows(kList);
    for (const FileHolder& holder : m_list.holders) {
        m_view.AddRow(kList, {std::to_string(holder.id), holder.program, holder.user,
                              DescribeHolds(holder, m_canonical, Language)});
    }
    m_actions.RowsFilled();
    std::string note;
    if (m_list.holders.empty()) note = Pick(Language, HolderTexts::kNobody);
    const std::string unchecked = UncheckedNote(m_list.uncheckedProcesses, Language);
    if (!unchecked.empty()) note += (note.empty() ? "" : "\n") + unchecked;
    m_view.SetText("LabelNote", note);
    m_view.SetShown("LabelNote", !note.empty());
    m_view.SetEnabled("ButtonEnd", false);
    if (Refreshed) Refreshed();
}

void HeldByLogic::SelectionChanged()
{
    bool any = false;
    for (const bool selected : m_view.SelectedRows(kList))
        any = any || selected;
    m_view.SetEnabled("ButtonEnd", any);
}

void HeldByLogic::ButtonEndClick()
{
    // The rows stand for the holders in the order they were listed.
    std::vector<FileHolder> chosen;
    const std::vector<bool> selected = m_view.SelectedRows(kList);
    for (std::size_t row = 0; row < selected.size() && row < m_list.holders.size(); ++row) {
        if (selected[row]) chosen.push_back(m_list.holders[row]);
    }
    if (chosen.empty()) return;
    std::string names;
    for (const FileHolder& holder : chosen)
        names += (names.empty() ? "" : "\n") + std::to_string(holder.id) + " " + holder.program;
    std::string question = Pick(Language, HolderTexts::kEndQuestion);
    if (const std::size_t at = question.find("%1"); at != std::string::npos) question.replace(at, 2, names);
    if (m_view.ShowMessage("Velmora", question, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) return;
    const std::vector<EndOutcome> outcomes = EndHolders(*m_platform.processes, chosen);
    std::string failures;
    for (const EndOutcome& outcome : outcomes) {
        const std::string failure = EndFailureText(outcome, Language);
        if (!failure.empty()) failures += (failures.empty() ? "" : "\n") + failure;
    }
    // Ended processes need a moment before they are gone from the system's lists.
    m_waiter.Wait(kSettleTime);
    RefreshList();
    if (!failures.empty()) m_view.ShowMessage("Velmora", failures, MsgIcon::Error);
}

} // namespace velmora
