#include "shortcut/LinkWindowLogic.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "shortcut/LinkRequest.h"
#include "shortcut/LinkTexts.h"
#include "shortcut/ShellLinkWriter.h"
#include "ui/HelpFile.h"

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {
constexpr int kHelpContext = 3;

std::string CurrentFolder()
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    return ec ? std::string() : Utf8FromPath(folder);
}
} // namespace

std::string LinkWindowLogic::Trimmed(std::string_view control) const
{
    const std::string text = m_view.Text(control);
    return std::string(TrimBlanks(text));
}

void LinkWindowLogic::ApplyLanguage()
{
    m_view.SetText(kWindow, Text(LinkTexts::kCaption));
    m_view.SetText("EditProgLabel", Text(LinkTexts::kLabelProg));
    m_view.SetText("EditLinkFolderLabel", Text(LinkTexts::kLabelLinkFolder));
    m_view.SetText("EditParameterLabel", Text(LinkTexts::kLabelParameter));
    m_view.SetText("ButtonCreateLink", Text(LinkTexts::kButtonCreateLink));
    m_view.SetText("ButtonCancel", Text(LinkTexts::kButtonCancel));
    m_view.SetHint("ButtonOpen", Text(LinkTexts::kHintOpen));
    m_view.SetHint("ButtonSaveLink", Text(LinkTexts::kHintSaveLink));
    m_view.SetHint("ButtonParam", Text(LinkTexts::kHintParam));
}

void LinkWindowLogic::FormShow()
{
    ApplyLanguage();
    m_view.SetText("EditParameter", "");
    m_view.SetText("EditLinkFolder", "");
    const std::string target = Trimmed("EditProg");
    if (!target.empty()) {
        m_view.SetText("EditLinkFolder", ProposedLinkPath(target, m_platform.environment->Paths()));
    }
    m_view.SetFocus("EditProg");
}

void LinkWindowLogic::ButtonOpenClick(bool forParameter)
{
    const std::optional<std::string> chosen = m_actions.ChooseFile();
    if (!chosen) return;
    if (!forParameter) {
        m_view.SetText("EditProg", *chosen);
        m_view.SetText("EditLinkFolder", ProposedLinkPath(*chosen, m_platform.environment->Paths()));
    } else {
        m_view.SetText("EditParameter", *chosen);
    }
}

void LinkWindowLogic::ButtonSaveLinkClick()
{
    // An empty field starts the dialog wherever it likes; otherwise in the link's
    // folder with the link's name.
    const std::optional<std::string> chosen = m_actions.ChooseLinkFile(Trimmed("EditLinkFolder"));
    if (!chosen) return;
    m_view.SetText("EditLinkFolder", ProposedLinkPath(*chosen, m_platform.environment->Paths()));
}

void LinkWindowLogic::ButtonCreateLinkClick()
{
    const std::string link = Trimmed("EditLinkFolder");
    const std::string target = Trimmed("EditProg");
    const std::string arguments = LinkArguments(Trimmed("EditParameter"));
    if (target.empty() || link.empty()) {
        m_view.MessageDialog(DialogKind::Error, Text(LinkTexts::kMissingInformation));
        return;
    }
    // A shortcut in the way is replaced silently; any other file only when the user agrees.
    if (InspectLinkPath(link) == LinkPathState::OtherFile) {
        const std::string question = Text(LinkTexts::kReplaceOtherFile) + "\n\n" + link;
        if (m_view.MessageDialog(DialogKind::Confirmation, question, MsgButtons::YesNo) != MsgAnswer::Yes) return;
    }
    if (!CreateShellLink(target, arguments, link)) return;
    m_view.MessageDialog(DialogKind::Information, Text(LinkTexts::kLinkCreated));
    ShowFolderInExplorer(FolderToShow(link, m_platform.environment->Paths(), CurrentFolder()));
}

bool LinkWindowLogic::CreateShellLink(const std::string& target, const std::string& arguments, const std::string& link)
{
    const Result<void> saved = SaveShellLink(link, target, arguments);
    if (!saved) {
        m_view.MessageDialog(DialogKind::Error,
                             Text(LinkTexts::kSaveFailed) + "\n" + ErrorText(saved.error(), CurLanguage));
    }
    return saved.has_value();
}

void LinkWindowLogic::ShowFolderInExplorer(const std::string& folder)
{
    // Whether the file manager came up is not examined.
    m_platform.shell->ShowFolder(folder);
}

void LinkWindowLogic::ButtonCancelClick()
{
    m_actions.CloseWindow();
}

void LinkWindowLogic::HelpKey()
{
    // The same help file as the main window's: the one of the window's language.
    m_platform.shell->OpenHelp(HelpFilePath(*m_platform.environment, CurLanguage), kHelpContext);
}

} // namespace velmora
