#include "ziptool/ZipToolLogic.h"

#include "archive/ZipToolRules.h"
#include "archive/gzip/GzipReader.h"
#include "archive/zip/ZipReader.h"
#include "archive/zip/ZipTexts.h"
#include "archive/zip/ZipWriter.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/FolderSafety.h"
#include "common/LanguageText.h"
#include "common/Result.h"
#include "common/Utf8Path.h"
#include "platform/FileDurability.h"
#include "platform/IFileAttributes.h"
#include "protect/ProtectRefusals.h"
#include "protect/ProtectedFolder.h"
#include "ui/HelpFile.h"

#include <filesystem>
#include <utility>

namespace velmora {

namespace fs = std::filesystem;

namespace {
bool IsFolder(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_directory(PathFromUtf8(path), ec);
}

// The platform's attribute service decides what counts as hidden or system.
AttributeReader AttributesOf(Platform& platform)
{
    IFileAttributes* service = platform.attributes;
    if (service == nullptr) return {};
    return [service](const fs::path& path) { return service->ReadAttributes(Utf8FromPath(path)); };
}

// A command's outcome for the window: the failure's text as the window shows it.
ZipToolOutcome OutcomeOf(const Result<void>& outcome)
{
    if (outcome) return ZipToolOutcome{true, 0, {}, false};
    return ZipToolOutcome{false, 0, ErrorText(outcome.error(), kEnglish), false};
}

// A failure for the standard error box, where a thrown error goes too.
ZipToolOutcome ErrorBoxOutcome(const Error& error)
{
    return ZipToolOutcome{false, 0, ErrorText(error, kEnglish), true};
}

// An extraction's outcome: a wrong password goes without a text of its own, as the
// window's message names it already.
ZipToolOutcome UnzipOutcome(const Result<void>& outcome)
{
    if (!outcome && outcome.error().kind == Error::Kind::WrongPassword) return ZipToolOutcome{false, 0, {}, false};
    return OutcomeOf(outcome);
}

constexpr const char* kCommandControls[] = {"ToolButtonNew", "ToolButtonZip",   "ToolButtonDel", "SpeedButton2",
                                            "SpeedButton4",  "SpeedButtonPass", "ButtonClose"};
constexpr const char* kEdits[] = {"Edit1", "Edit3", "EditPass"};
} // namespace

std::string ZipToolLogic::Trimmed(std::string_view control) const
{
    const std::string text = m_view.Text(control);
    return std::string(TrimBlanks(text));
}

void ZipToolLogic::ApplyLanguage()
{
    m_view.SetText(kWindow, Text(ZipTexts::kCaption));
    m_view.SetText("Label1", Text(ZipTexts::kPasswordLabel));
    m_view.SetText("Label2", Text(ZipTexts::kDirectoryLabel));
    m_view.SetText("Label3", Text(ZipTexts::kZipNameLabel));
    m_view.SetHint("ToolButtonNew", Text(ZipTexts::kNewHint));
    m_view.SetHint("ToolButtonZip", Text(ZipTexts::kProtectHint));
    m_view.SetHint("ToolButtonDel", Text(ZipTexts::kUnzipHint));
    m_view.SetHint("SpeedButton2", Text(ZipTexts::kSelectFolderHint));
    m_view.SetHint("SpeedButton4", Text(ZipTexts::kSelectZipHint));
    m_view.SetHint("SpeedButtonPass", Text(ZipTexts::kDeletePasswordHint));
    m_view.SetText("ButtonClose", Text(ZipTexts::kClose));
}

void ZipToolLogic::FormShow()
{
    m_view.SetText("LabelTask", "");
    ApplyLanguage();
}

void ZipToolLogic::HelpKey()
{
    m_platform.shell->OpenHelp(HelpFilePath(*m_platform.environment, Sprache), 2);
}

void ZipToolLogic::ButtonNewClick()
{
    m_view.SetText("Edit1", "");
    m_view.SetText("Edit3", "");
}

void ZipToolLogic::ForFolder(const std::optional<std::string>& folder, std::int32_t language)
{
    if (folder) {
        m_view.SetText("Edit1", *folder);
        m_view.SetText("Edit3", *folder + ".zip");
    }
    Sprache = language;
}

void ZipToolLogic::ChooseFolder()
{
    const std::string current = Trimmed("Edit1");
    // Without a usable folder ("") the picker starts at the top of the tree ("all drives").
    const std::string start = IsFolder(current) ? current : std::string();
    const std::optional<std::string> chosen = m_actions.ChooseFolder(Text(ZipTexts::kSelectFolderHint), start);
    if (!chosen || !IsFolder(*chosen)) return;
    const std::string folder = WithoutTrailingSeparator(*chosen);
    m_view.SetText("Edit1", folder);
    m_view.SetText("Edit3", folder + ".zip");
}

void ZipToolLogic::SpeedButton3Click()
{
    const std::string zipName = Trimmed("Edit3");
    const PathRules& rules = m_platform.environment->Paths();
    const std::string initial = zipName.empty() ? std::string() : rules.FolderWithSeparator(zipName);
    const std::optional<std::string> chosen = m_actions.ChooseArchive(Text(ZipTexts::kSelectZipHint), initial);
    if (!chosen) return;
    m_view.SetText("Edit3", *chosen);
    const std::string folder = WithoutFirstZip(*chosen);
    if (Trimmed("Edit1").empty()) m_view.SetText("Edit1", std::string(TrimBlanks(folder)));
}

void ZipToolLogic::SpeedButtonPassClick()
{
    m_view.SetText("EditPass", "");
}

void ZipToolLogic::EditPassChange()
{
    m_zipImage = Trimmed("EditPass").empty() ? kZipImage : kProtectImage;
    m_actions.SetZipImage(m_zipImage);
}

void ZipToolLogic::ToolButtonZipMouseEnter()
{
    m_view.SetHint("ToolButtonZip", Text(m_zipImage != kProtectImage ? ZipTexts::kZipHint : ZipTexts::kProtectHint));
}

void ZipToolLogic::BitBtn4Click()
{
    m_actions.CloseWindow();
}

void ZipToolLogic::ButtonarchivClick()
{
    if (m_busy) return;
    if (Trimmed("EditPass").empty()) {
        PackFolder();
    } else {
        ProtectFolder();
    }
}

void ZipToolLogic::EndCommand()
{
    m_view.SetText("LabelTask", "");
}

void ZipToolLogic::ShowFolderAsAdmin(const std::string& folder)
{
    // The result is not looked at.
    if (IsFolder(folder)) m_platform.shell->ShowFolder(folder);
}

void ZipToolLogic::PackFolder()
{
    m_view.SetText("LabelTask", Text(ZipTexts::kWorking));
    const std::string folder = Trimmed("Edit1");
    const std::string zipPath = Trimmed("Edit3");
    if (folder.empty()) {
        ChooseFolder();
        EndCommand();
        return;
    }
    if (zipPath.empty()) {
        m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kFolderOrNameInvalid));
        EndCommand();
        return;
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(PathFromUtf8(zipPath), ec)) &&
        m_view.ShowMessage("Velmora", zipPath + Text(ZipTexts::kExistsSuffix), MsgIcon::Question, MsgButtons::YesNo) !=
            MsgAnswer::Yes) {
        EndCommand();
        return;
    }
    const AttributeReader attributes = AttributesOf(m_platform);
    const FolderLister folders = FolderListerOf(m_platform.attributes);
    RunInBackground(
        [folder, zipPath, attributes, folders](const ZipToolProgress& progress) {
            ZipWriteOptions options;
            options.attributes = attributes;
            options.folders = folders;
            options.progress = progress;
            const ZipWriteResult result = WriteZipArchive(PathFromUtf8(folder), PathFromUtf8(zipPath), options);
            return OutcomeOf(result.outcome);
        },
        [this, zipPath](const ZipToolOutcome& outcome) {
            if (!outcome.ok) {
                m_view.ShowMessage("Velmora", Text(ZipTexts::kArchiveError), MsgIcon::Error);
            } else {
                m_view.MessageDialog(DialogKind::Information, Text(ZipTexts::kArchiveCreated));
                ShowFolderAsAdmin(m_platform.environment->Paths().FolderWithSeparator(zipPath));
            }
            EndCommand();
        });
}

void ZipToolLogic::ProtectFolder()
{
    m_view.SetText("LabelTask", Text(ZipTexts::kWorking));
    const std::string folder = WithoutTrailingSeparator(Trimmed("Edit1"));
    const std::string zipPath = Trimmed("Edit3");
    const std::string password = Trimmed("EditPass");
    if (folder.empty()) {
        ChooseFolder();
        EndCommand();
        return;
    }
    const IEnvironment& environment = *m_platform.environment;
    const ProtectCheck check =
        CheckProtectFolder(PathFromUtf8(folder), PathFromUtf8(zipPath),
                           GuardedPaths(environment.ProgramFilePath(), environment.HomeFolder()));
    if (check.status == ProtectStatus::InvalidInput) {
        m_view.MessageDialog(DialogKind::Error,
                             Text(ZipTexts::kFolderOrNameInvalid) + "\n" +
                                 InvalidProtectReason(PathFromUtf8(folder), PathFromUtf8(zipPath), Sprache));
        EndCommand();
        return;
    }
    if (check.status != ProtectStatus::Ok) {
        m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kProtectRefused) + ErrorText(*check.error, kEnglish));
        EndCommand();
        return;
    }
    for (const fs::path& replaced : check.replaced) {
        if (m_view.ShowMessage("Velmora", Utf8FromPath(replaced) + Text(ZipTexts::kExistsSuffix), MsgIcon::Question,
                               MsgButtons::YesNo) != MsgAnswer::Yes) {
            EndCommand();
            return;
        }
    }
    ProtectOptions options;
    options.password = password;
    options.random = m_platform.random;
    options.attributes = AttributesOf(m_platform);
    options.folders = FolderListerOf(m_platform.attributes);
    options.flushToDisk = [](const fs::path& path) { return FlushToDisk(Utf8FromPath(path)); };
    RunInBackground(
        [folder, zipPath, options](const ZipToolProgress& progress) {
            ProtectOptions withProgress = options;
            withProgress.progress = progress;
            const ProtectResult result =
                ProtectFolderToArchive(PathFromUtf8(folder), PathFromUtf8(zipPath), withProgress);
            // A name that cannot be stored is shown by its path alone.
            std::string text;
            if (result.error) {
                text = result.status == ProtectStatus::NameNotStorable ? result.error->path
                                                                       : ErrorText(*result.error, kEnglish);
            }
            return ZipToolOutcome{result.status == ProtectStatus::Ok, static_cast<int>(result.status), text, false};
        },
        [this, folder, zipPath](const ZipToolOutcome& outcome) {
            const auto status = static_cast<ProtectStatus>(outcome.status);
            const std::string zipFolder = m_platform.environment->Paths().FolderWithSeparator(zipPath);
            switch (status) {
            case ProtectStatus::Ok:
            case ProtectStatus::FolderNotRemoved:
                m_view.MessageDialog(DialogKind::Information, Text(ZipTexts::kProtectedCreated));
                ShowFolderAsAdmin(zipFolder);
                if (status == ProtectStatus::FolderNotRemoved) {
                    m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kFolderNotRemoved) + outcome.error);
                }
                break;
            case ProtectStatus::InvalidInput:
                m_view.MessageDialog(DialogKind::Error,
                                     Text(ZipTexts::kFolderOrNameInvalid) + "\n" +
                                         InvalidProtectReason(PathFromUtf8(folder), PathFromUtf8(zipPath), Sprache));
                break;
            case ProtectStatus::NameNotStorable:
                m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kNameNotStorable) + outcome.error);
                break;
            case ProtectStatus::Refused:
                m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kProtectRefused) + outcome.error);
                break;
            case ProtectStatus::ArchiveFailed:
                m_view.ShowMessage("Velmora", Text(ZipTexts::kArchiveError), MsgIcon::Error);
                break;
            case ProtectStatus::VerifyFailed:
                m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kVerifyFailed) + outcome.error);
                break;
            case ProtectStatus::ReplaceFailed:
                m_view.MessageDialog(DialogKind::Warning, Text(ZipTexts::kMoveFailed));
                break;
            }
            EndCommand();
        });
}

void ZipToolLogic::BitBtn3Click()
{
    if (m_busy) return;
    const std::string zipPath = Trimmed("Edit3");
    if (zipPath.empty()) return;
    const std::string folder = Trimmed("Edit1");
    const std::string password = Trimmed("EditPass");
    const bool gzip = IsGzipName(zipPath);
    std::error_code ec;
    if (!fs::is_regular_file(PathFromUtf8(zipPath), ec)) {
        m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kZipNotFound));
        return;
    }
    // Without a folder the extraction would land in the working folder.
    if (folder.empty() && !gzip) {
        m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kFolderOrNameInvalid));
        return;
    }
    if (IsFolder(folder) && m_view.MessageDialog(DialogKind::Information, folder + Text(ZipTexts::kExistsSuffix),
                                                 MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    if (m_view.MessageDialog(DialogKind::Information,
                             zipPath + Text(ZipTexts::kUnzipTo) + folder + ZipTexts::kQuestionEnd,
                             MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    const std::string zipFolder = m_platform.environment->Paths().FolderWithSeparator(zipPath);
    if (gzip) {
        RunInBackground(
            [zipPath, attributes = AttributesOf(m_platform),
             service = m_platform.attributes](const ZipToolProgress& progress) {
                GunzipOptions options;
                options.progress = progress;
                options.attributes = attributes;
                // As the command line does: the output file keeps none of the four attributes.
                if (service != nullptr) {
                    options.clearAttributes = [service](const fs::path& path) {
                        static_cast<void>(service->WriteAttributes(Utf8FromPath(path), 0)); // failures are ignored
                    };
                }
                const GunzipResult result = GUnzipToFile(PathFromUtf8(zipPath), options);
                return OutcomeOf(result.outcome);
            },
            [this, zipFolder](const ZipToolOutcome& outcome) {
                // A failure names its cause: without it a kept read-only file of the output
                // name would look like the extracted one.
                if (outcome.ok) {
                    m_view.MessageDialog(DialogKind::Information, Text(ZipTexts::kUnzipped));
                    ShowFolderAsAdmin(zipFolder);
                } else {
                    m_view.MessageDialog(DialogKind::Error, Text(ZipTexts::kGunzipFailed) + outcome.error);
                }
                EndCommand();
            });
        return;
    }
    // The extraction uses the folder field as it stands, not trimmed.
    const std::string target = m_view.Text("Edit1");
    RunInBackground(
        [zipPath, target, password](const ZipToolProgress& progress) {
            // The cause of a failure is shown below the message, except for a wrong
            // password, which the message names already.
            if (!password.empty()) {
                const UnprotectResult result =
                    UnprotectArchive(PathFromUtf8(zipPath), PathFromUtf8(target), password, progress);
                // A target that cannot be created goes to the standard error box, as below.
                if (result.targetNotMade) return ErrorBoxOutcome(result.outcome.error());
                return UnzipOutcome(result.outcome);
            }
            // A target that cannot be created is reported with the system's text in the
            // standard error box, not as a wrong password.
            std::error_code ec;
            if (!fs::is_directory(PathFromUtf8(target), ec)) {
                fs::create_directories(PathFromUtf8(target), ec);
                if (ec) return ErrorBoxOutcome(ErrorFromErrno(ec.value(), target, "Creating folder"));
            }
            ZipExtractOptions options;
            options.progress = progress;
            const ZipExtractResult result = UnZipFile(PathFromUtf8(zipPath), PathFromUtf8(target), options);
            return UnzipOutcome(result.outcome);
        },
        [this, target](const ZipToolOutcome& outcome) {
            if (outcome.ok) {
                m_view.MessageDialog(DialogKind::Information, Text(ZipTexts::kUnzipped));
                ShowFolderAsAdmin(target);
            } else {
                std::string text = Text(ZipTexts::kUnzipError);
                if (!outcome.error.empty()) text += "\n" + outcome.error;
                m_view.MessageDialog(DialogKind::Error, text);
            }
            EndCommand();
        });
}

void ZipToolLogic::SetBusy(bool busy)
{
    m_busy = busy;
    for (const char* control : kCommandControls)
        m_view.SetEnabled(control, !busy);
    for (const char* edit : kEdits)
        m_view.SetReadOnly(edit, busy);
    m_actions.SetProgress(0);
    m_view.SetShown("ProgressBar", busy);
}

void ZipToolLogic::RunInBackground(ZipToolWork work, std::function<void(const ZipToolOutcome&)> done)
{
    SetBusy(true);
    m_done = std::move(done);
    m_actions.StartWork([work = std::move(work)](const ZipToolProgress& progress) {
        try {
            return work(progress);
        } catch (const std::exception& error) {
            return ZipToolOutcome{false, 0, error.what(), true};
        }
    });
}

void ZipToolLogic::WorkEnded(const ZipToolOutcome& outcome)
{
    SetBusy(false);
    const std::function<void(const ZipToolOutcome&)> done = std::move(m_done);
    m_done = nullptr;
    if (outcome.thrown) {
        m_view.ErrorBox(outcome.error);
        EndCommand();
        return;
    }
    try {
        if (done) done(outcome);
    } catch (const std::exception& error) {
        m_view.ErrorBox(error.what());
    }
}

} // namespace velmora
