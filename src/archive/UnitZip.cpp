#include "archive/UnitZip.h"

#include "archive/ZipToolRules.h"
#include "archive/gzip/GzipReader.h"
#include "archive/protect/ProtectRefusals.h"
#include "archive/protect/ProtectedFolder.h"
#include "archive/zip/ZipReader.h"
#include "archive/zip/ZipTexts.h"
#include "archive/zip/ZipWriter.h"
#include "common/Errors.h"
#include "common/FolderSafety.h"
#include "common/Utf8Path.h"
#include "platform/FileDurability.h"
#include "platform/IFileAttributes.h"
#include "ui/ButtonPanel.h"
#include "ui/GradientPanel.h"
#include "ui/HelpFile.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>

#include <cstdlib>
#include <filesystem>

namespace velmora {

namespace fs = std::filesystem;

namespace {
constexpr int kProtectImage = 0;
constexpr int kZipImage = 3;

QFont ArialFont(int points)
{
    QFont font(QStringLiteral("Arial"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QToolButton* MakeButton(QWidget* parent, const char* name, const QIcon& icon, QRect geometry, int iconSize)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(iconSize, iconSize));
    button->setGeometry(geometry);
    return button;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect geometry)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setFont(ArialFont(10));
    edit->setGeometry(geometry);
    return edit;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QPoint at)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(ArialFont(10));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
    label->move(at);
    return label;
}

std::string Trimmed(const QLineEdit* edit)
{
    const std::string text = edit->text().toStdString();
    return std::string(TrimBlanks(text));
}
QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

bool IsFolder(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_directory(PathFromUtf8(path), ec);
}
} // namespace

TFormZip::TFormZip(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormZip"));
    setFixedSize(492, 198);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF2, 0xEE, 0xEB));
    setPalette(palette);
    setFont(ArialFont(8));
    BuildControls();
    EditPass->setText(QString::fromLatin1(ZipTexts::kDefaultPassword));
    EditPassChange();
    ApplyLanguage();
}

TFormZip::~TFormZip()
{
    if (m_worker.joinable()) m_worker.join();
}

void TFormZip::BuildControls()
{
    auto* background = new GradientPanel(QColor(0xF5, 0xF1, 0xEE), QColor(0xAA, 0xAA, 0xAA), 200, this);
    background->setObjectName(QStringLiteral("Gradient"));
    background->setGeometry(0, 30, 492, 168);

    ToolBar1 = new GradientPanel(QColor(0xFF, 0xFB, 0xF0), QColor(0xE0, 0xE0, 0xE0), 0, this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 492, 30);
    ToolButtonNew =
        MakeButton(ToolBar1, "ToolButtonNew", ThemedIcon("document-new", ":/app/new.svg"), {200, 0, 32, 31}, 25);
    ToolButtonZip =
        MakeButton(ToolBar1, "ToolButtonZip", QIcon(QStringLiteral(":/archive/protect.svg")), {232, 0, 32, 31}, 25);
    ToolButtonDel =
        MakeButton(ToolBar1, "ToolButtonDel", QIcon(QStringLiteral(":/archive/unzip.svg")), {264, 0, 32, 31}, 25);
    ToolButtonZip->installEventFilter(this);

    Label2 = MakeLabel(this, "Label2", {13, 44});
    Edit1 = MakeEdit(this, "Edit1", {84, 39, 359, 24});
    Label3 = MakeLabel(this, "Label3", {13, 72});
    Edit3 = MakeEdit(this, "Edit3", {81, 69, 359, 24});
    Label1 = MakeLabel(this, "Label1", {13, 105});
    EditPass = MakeEdit(this, "EditPass", {84, 100, 359, 24});
    SpeedButton2 =
        MakeButton(this, "SpeedButton2", ThemedIcon("folder-open", ":/app/open-folder.svg"), {446, 35, 28, 29}, 22);
    SpeedButton4 = MakeButton(this, "SpeedButton4", QIcon(QStringLiteral(":/archive/zip.svg")), {446, 66, 28, 29}, 22);
    SpeedButtonPass =
        MakeButton(this, "SpeedButtonPass", ThemedIcon("edit-clear", ":/archive/clear.svg"), {446, 97, 28, 29}, 22);

    const ButtonPanel foot = MakeButtonPanel(this, QRect(84, 134, 359, 30));
    PanelButton = foot.panel;
    ButtonClose = foot.button;

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(100, 167, 317, 8);
    ProgressBar->setRange(0, 1000);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();

    LabelTask = new QLabel(this);
    LabelTask->setObjectName(QStringLiteral("LabelTask"));
    LabelTask->setGeometry(100, 176, 317, 14);
    LabelTask->setAlignment(Qt::AlignCenter);

    connect(ToolButtonNew, &QToolButton::clicked, this, Guarded(this, &TFormZip::ButtonNewClick));
    connect(ToolButtonZip, &QToolButton::clicked, this, Guarded(this, &TFormZip::ButtonarchivClick));
    connect(ToolButtonDel, &QToolButton::clicked, this, Guarded(this, &TFormZip::BitBtn3Click));
    connect(SpeedButton2, &QToolButton::clicked, this, Guarded(this, &TFormZip::SpeedButton1Click));
    connect(SpeedButton4, &QToolButton::clicked, this, Guarded(this, &TFormZip::SpeedButton3Click));
    connect(SpeedButtonPass, &QToolButton::clicked, this, Guarded(this, &TFormZip::SpeedButtonPassClick));
    connect(EditPass, &QLineEdit::textChanged, this, Guarded(this, &TFormZip::EditPassChange));
    connect(ButtonClose, &QPushButton::clicked, this, Guarded(this, &TFormZip::BitBtn4Click));
}

QString TFormZip::Text(const TextPair& pair) const
{
    return QString::fromUtf8(Pick(Sprache, pair));
}

QString TFormZip::HelpFile() const
{
    return QString::fromStdString(HelpFilePath(*m_context.platform.environment, Sprache));
}

void TFormZip::ApplyLanguage()
{
    setWindowTitle(Text(ZipTexts::kCaption));
    Label1->setText(Text(ZipTexts::kPasswordLabel));
    Label2->setText(Text(ZipTexts::kDirectoryLabel));
    Label3->setText(Text(ZipTexts::kZipNameLabel));
    for (QLabel* label : {Label1, Label2, Label3})
        label->adjustSize();
    ToolButtonNew->setToolTip(Text(ZipTexts::kNewHint));
    ToolButtonZip->setToolTip(Text(ZipTexts::kProtectHint));
    ToolButtonDel->setToolTip(Text(ZipTexts::kUnzipHint));
    SpeedButton2->setToolTip(Text(ZipTexts::kSelectFolderHint));
    SpeedButton4->setToolTip(Text(ZipTexts::kSelectZipHint));
    SpeedButtonPass->setToolTip(Text(ZipTexts::kDeletePasswordHint));
    ButtonClose->setText(Text(ZipTexts::kClose));
}

void TFormZip::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (parentWidget() != nullptr) move(parentWidget()->frameGeometry().center() - rect().center());
    RunGuarded(this, [this] { FormShow(); });
}

void TFormZip::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        RunGuarded(this, [this] { FormKeyDown(Qt::Key_F1); });
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormZip::closeEvent(QCloseEvent* event)
{
    // The window stays while a command works; it closes when the command has ended.
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFormZip::reject()
{
    if (!m_busy) QDialog::reject();
}

bool TFormZip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ToolButtonZip && event->type() == QEvent::Enter) ToolButtonZipMouseEnter();
    return QDialog::eventFilter(watched, event);
}

void TFormZip::FormShow()
{
    LabelTask->clear();
    ApplyLanguage();
}

void TFormZip::FormKeyDown(int key)
{
    if (key == Qt::Key_F1) m_context.platform.shell->OpenHelp(HelpFile().toStdString(), 2);
}

void TFormZip::ButtonNewClick()
{
    Edit1->clear();
    Edit3->clear();
}

void TFormZip::SpeedButton1Click()
{
    ChooseFolder();
}

void TFormZip::ShowForFolder(const std::optional<QString>& folder, std::int32_t language)
{
    if (folder) {
        Edit1->setText(*folder);
        Edit3->setText(*folder + QStringLiteral(".zip"));
    }
    Sprache = language;
    exec();
}

void TFormZip::ChooseFolder()
{
    const std::string current = Trimmed(Edit1);
    // Linux has one tree: the root stands for "all drives".
    const QString start = IsFolder(current) ? Q(current) : QStringLiteral("/");
    const std::optional<QString> chosen = ShowFolderDialog(this, Text(ZipTexts::kSelectFolderHint), start, true);
    if (!chosen || !IsFolder(chosen->toStdString())) return;
    const QString folder = Q(WithoutTrailingSeparator(chosen->toStdString()));
    Edit1->setText(folder);
    Edit3->setText(folder + QStringLiteral(".zip"));
}

void TFormZip::SpeedButton3Click()
{
    const std::string zipName = Trimmed(Edit3);
    const PathRules& rules = m_context.platform.environment->Paths();
    const QString initial = zipName.empty() ? QStringLiteral("/") : Q(rules.FolderWithSeparator(zipName));
    const std::optional<QString> chosen = ShowOpenFileDialog(this, Text(ZipTexts::kSelectZipHint), initial);
    if (!chosen) return;
    Edit3->setText(*chosen);
    const std::string folder = WithoutFirstZip(chosen->toStdString());
    if (Trimmed(Edit1).empty()) Edit1->setText(Q(std::string(TrimBlanks(folder))));
}

void TFormZip::SpeedButtonPassClick()
{
    EditPass->clear();
}

void TFormZip::EditPassChange()
{
    m_zipImage = Trimmed(EditPass).empty() ? kZipImage : kProtectImage;
    ToolButtonZip->setIcon(QIcon(m_zipImage == kProtectImage ? QStringLiteral(":/archive/protect.svg")
                                                             : QStringLiteral(":/archive/zip.svg")));
    ToolButtonZip->setProperty("imageIndex", m_zipImage);
}

void TFormZip::ToolButtonZipMouseEnter()
{
    ToolButtonZip->setToolTip(Text(m_zipImage != kProtectImage ? ZipTexts::kZipHint : ZipTexts::kProtectHint));
}

void TFormZip::BitBtn4Click()
{
    close();
}

void TFormZip::ButtonarchivClick()
{
    if (m_busy) return;
    if (Trimmed(EditPass).empty()) {
        PackFolder();
    } else {
        ProtectFolder();
    }
}

void TFormZip::EndCommand()
{
    LabelTask->clear();
}

void TFormZip::ShowFolderAsAdmin(const QString& folder)
{
    // Linux needs no elevation to show a folder; the result is not looked at.
    if (IsFolder(folder.toStdString())) m_context.platform.shell->ShowFolder(folder.toStdString());
}

namespace {
// The platform's attribute service decides what counts as hidden or system.
AttributeReader AttributesOf(Platform& platform)
{
    IFileAttributes* service = platform.attributes;
    if (service == nullptr) return {};
    return [service](const fs::path& path) { return service->ReadAttributes(Utf8FromPath(path)); };
}
} // namespace

void TFormZip::PackFolder()
{
    LabelTask->setText(Text(ZipTexts::kWorking));
    const std::string folder = Trimmed(Edit1);
    const std::string zipPath = Trimmed(Edit3);
    if (folder.empty()) {
        ChooseFolder();
        EndCommand();
        return;
    }
    if (zipPath.empty()) {
        ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kFolderOrNameInvalid));
        EndCommand();
        return;
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(PathFromUtf8(zipPath), ec)) &&
        ShowMessageBox(this, QStringLiteral("Velmora"), Q(zipPath) + Text(ZipTexts::kExistsSuffix), MsgIcon::Question,
                       MsgButtons::YesNo) != MsgAnswer::Yes) {
        EndCommand();
        return;
    }
    const AttributeReader attributes = AttributesOf(m_context.platform);
    const FolderLister folders = FolderListerOf(m_context.platform.attributes);
    RunInBackground(
        [folder, zipPath, attributes, folders](const auto& progress) {
            ZipWriteOptions options;
            options.attributes = attributes;
            options.folders = folders;
            options.progress = progress;
            const ZipWriteResult result = WriteZipArchive(PathFromUtf8(folder), PathFromUtf8(zipPath), options);
            return Outcome{result.ok, 0, result.error, false};
        },
        [this, zipPath](const Outcome& outcome) {
            if (!outcome.ok) {
                ShowMessageBox(this, QStringLiteral("Velmora"), Text(ZipTexts::kArchiveError), MsgIcon::Error);
            } else {
                ShowMessageDialog(this, DialogKind::Information, Text(ZipTexts::kArchiveCreated));
                ShowFolderAsAdmin(Q(m_context.platform.environment->Paths().FolderWithSeparator(zipPath)));
            }
            EndCommand();
        });
}

void TFormZip::ProtectFolder()
{
    LabelTask->setText(Text(ZipTexts::kWorking));
    const std::string folder = WithoutTrailingSeparator(Trimmed(Edit1));
    const std::string zipPath = Trimmed(Edit3);
    const std::string password = Trimmed(EditPass);
    if (folder.empty()) {
        ChooseFolder();
        EndCommand();
        return;
    }
    const IEnvironment& environment = *m_context.platform.environment;
    const ProtectCheck check =
        CheckProtectFolder(PathFromUtf8(folder), PathFromUtf8(zipPath),
                           GuardedPaths(environment.ProgramFilePath(), environment.HomeFolder()));
    if (check.status == ProtectStatus::InvalidInput) {
        ShowMessageDialog(this, DialogKind::Error,
                          Text(ZipTexts::kFolderOrNameInvalid) + QStringLiteral("\n") +
                              Q(InvalidProtectReason(PathFromUtf8(folder), PathFromUtf8(zipPath), Sprache)));
        EndCommand();
        return;
    }
    if (check.status != ProtectStatus::Ok) {
        ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kProtectRefused) + Q(check.error));
        EndCommand();
        return;
    }
    for (const fs::path& replaced : check.replaced) {
        if (ShowMessageBox(this, QStringLiteral("Velmora"), Q(Utf8FromPath(replaced)) + Text(ZipTexts::kExistsSuffix),
                           MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
            EndCommand();
            return;
        }
    }
    ProtectOptions options;
    options.password = password;
    options.random = m_context.platform.random;
    options.attributes = AttributesOf(m_context.platform);
    options.folders = FolderListerOf(m_context.platform.attributes);
    options.flushToDisk = [](const fs::path& path) { return FlushToDisk(Utf8FromPath(path)); };
    RunInBackground(
        [folder, zipPath, options](const auto& progress) {
            ProtectOptions withProgress = options;
            withProgress.progress = progress;
            const ProtectResult result =
                ProtectFolderToArchive(PathFromUtf8(folder), PathFromUtf8(zipPath), withProgress);
            return Outcome{result.status == ProtectStatus::Ok, static_cast<int>(result.status), result.error, false};
        },
        [this, folder, zipPath](const Outcome& outcome) {
            const auto status = static_cast<ProtectStatus>(outcome.status);
            const QString zipFolder = Q(m_context.platform.environment->Paths().FolderWithSeparator(zipPath));
            switch (status) {
            case ProtectStatus::Ok:
            case ProtectStatus::FolderNotRemoved:
                ShowMessageDialog(this, DialogKind::Information, Text(ZipTexts::kProtectedCreated));
                ShowFolderAsAdmin(zipFolder);
                if (status == ProtectStatus::FolderNotRemoved) {
                    ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kFolderNotRemoved) + Q(outcome.error));
                }
                break;
            case ProtectStatus::InvalidInput:
                ShowMessageDialog(this, DialogKind::Error,
                                  Text(ZipTexts::kFolderOrNameInvalid) + QStringLiteral("\n") +
                                      Q(InvalidProtectReason(PathFromUtf8(folder), PathFromUtf8(zipPath), Sprache)));
                break;
            case ProtectStatus::NameNotStorable:
                ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kNameNotStorable) + Q(outcome.error));
                break;
            case ProtectStatus::Refused:
                ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kProtectRefused) + Q(outcome.error));
                break;
            case ProtectStatus::ArchiveFailed:
                ShowMessageBox(this, QStringLiteral("Velmora"), Text(ZipTexts::kArchiveError), MsgIcon::Error);
                break;
            case ProtectStatus::VerifyFailed:
                ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kVerifyFailed) + Q(outcome.error));
                break;
            case ProtectStatus::ReplaceFailed:
                ShowMessageDialog(this, DialogKind::Warning, Text(ZipTexts::kMoveFailed));
                break;
            }
            EndCommand();
        });
}

bool TFormZip::GUnzipToFile(const QString& filename)
{
    return velmora::GUnzipToFile(PathFromUtf8(filename.toStdString())).ok;
}

void TFormZip::BitBtn3Click()
{
    if (m_busy) return;
    const std::string zipPath = Trimmed(Edit3);
    if (zipPath.empty()) return;
    const std::string folder = Trimmed(Edit1);
    const std::string password = Trimmed(EditPass);
    const bool gzip = IsGzipName(zipPath);
    std::error_code ec;
    if (!fs::is_regular_file(PathFromUtf8(zipPath), ec)) {
        ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kZipNotFound));
        return;
    }
    // Without a folder the extraction would land in the working folder.
    if (folder.empty() && !gzip) {
        ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kFolderOrNameInvalid));
        return;
    }
    if (IsFolder(folder) && ShowMessageDialog(this, DialogKind::Information, Q(folder) + Text(ZipTexts::kExistsSuffix),
                                              MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    if (ShowMessageDialog(this, DialogKind::Information,
                          Q(zipPath) + Text(ZipTexts::kUnzipTo) + Q(folder) +
                              QString::fromLatin1(ZipTexts::kQuestionEnd),
                          MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    const QString zipFolder = Q(m_context.platform.environment->Paths().FolderWithSeparator(zipPath));
    if (gzip) {
        RunInBackground(
            [zipPath, attributes = AttributesOf(m_context.platform),
             service = m_context.platform.attributes](const auto& progress) {
                GunzipOptions options;
                options.progress = progress;
                options.attributes = attributes;
                // As the command line does: the output file keeps none of the four attributes.
                if (service != nullptr) {
                    options.clearAttributes = [service](const fs::path& path) {
                        service->WriteAttributes(Utf8FromPath(path), 0);
                    };
                }
                const GunzipResult result = velmora::GUnzipToFile(PathFromUtf8(zipPath), options);
                return Outcome{result.ok, 0, result.error, false};
            },
            [this, zipFolder](const Outcome& outcome) {
                // A failure names its cause: without it a kept read-only file of the output
                // name would look like the extracted one.
                if (outcome.ok) {
                    ShowMessageDialog(this, DialogKind::Information, Text(ZipTexts::kUnzipped));
                    ShowFolderAsAdmin(zipFolder);
                } else {
                    ShowMessageDialog(this, DialogKind::Error, Text(ZipTexts::kGunzipFailed) + Q(outcome.error));
                }
                EndCommand();
            });
        return;
    }
    // The extraction uses the folder field as it stands, not trimmed.
    const std::string target = Edit1->text().toStdString();
    RunInBackground(
        [zipPath, target, password](const auto& progress) {
            // The cause of a failure is shown below the message, except for a wrong
            // password, which the message names already.
            if (!password.empty()) {
                const UnprotectResult result =
                    UnprotectArchive(PathFromUtf8(zipPath), PathFromUtf8(target), password, progress);
                return Outcome{result.ok, 0, result.wrongPassword ? std::string() : result.error, false};
            }
            // A target that cannot be created is reported with the system's text in the
            // standard error box, not as a wrong password.
            std::error_code ec;
            if (!fs::is_directory(PathFromUtf8(target), ec)) {
                fs::create_directories(PathFromUtf8(target), ec);
                if (ec) throw VelmoraError(SystemErrorText("Creating folder", target, ec.value()));
            }
            ZipExtractOptions options;
            options.progress = progress;
            const ZipExtractResult result = UnZipFile(PathFromUtf8(zipPath), PathFromUtf8(target), options);
            const bool wrongPassword = result.failure && result.failure->kind == archive::ErrorKind::WrongPassword;
            return Outcome{result.ok, 0, wrongPassword ? std::string() : result.error, false};
        },
        [this, target](const Outcome& outcome) {
            if (outcome.ok) {
                ShowMessageDialog(this, DialogKind::Information, Text(ZipTexts::kUnzipped));
                ShowFolderAsAdmin(Q(target));
            } else {
                QString text = Text(ZipTexts::kUnzipError);
                if (!outcome.error.empty()) text += QStringLiteral("\n") + Q(outcome.error);
                ShowMessageDialog(this, DialogKind::Error, text);
            }
            EndCommand();
        });
}

void TFormZip::SetBusy(bool busy)
{
    m_busy = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{ToolButtonNew, ToolButtonZip, ToolButtonDel, SpeedButton2,
                                                      SpeedButton4, SpeedButtonPass, ButtonClose}) {
        w->setEnabled(!busy);
    }
    for (QLineEdit* edit : {Edit1, Edit3, EditPass})
        edit->setReadOnly(busy);
    ProgressBar->setValue(0);
    ProgressBar->setVisible(busy);
}

void TFormZip::RunInBackground(Work work, std::function<void(const Outcome&)> done)
{
    if (m_worker.joinable()) m_worker.join();
    SetBusy(true);
    m_worker = std::thread([this, work = std::move(work), done = std::move(done)]() {
        int lastValue = -1;
        const auto progress = [this, &lastValue](std::uint64_t value, std::uint64_t total) {
            const int scaled = total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(value, total) * 1000 / total);
            if (scaled == lastValue) return;
            lastValue = scaled;
            QMetaObject::invokeMethod(
                this, [this, scaled] { ProgressBar->setValue(scaled); }, Qt::QueuedConnection);
        };
        Outcome outcome;
        try {
            outcome = work(progress);
        } catch (const std::exception& error) {
            outcome = Outcome{false, 0, error.what(), true};
        }
        QMetaObject::invokeMethod(
            this,
            [this, outcome, done] {
                if (m_worker.joinable()) m_worker.join();
                SetBusy(false);
                if (outcome.thrown) {
                    ShowErrorBox(this, Q(outcome.error));
                    EndCommand();
                    return;
                }
                RunGuarded(this, [&] { done(outcome); });
            },
            Qt::QueuedConnection);
    });
}

} // namespace velmora
