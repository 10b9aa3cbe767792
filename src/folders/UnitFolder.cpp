#include "folders/UnitFolder.h"

#include "common/Errors.h"
#include "common/Utf8Path.h"
#include "folders/FolderDates.h"
#include "folders/FolderTexts.h"
#include "folders/FolderTools.h"
#include "platform/FileMetadata.h"
#include "platform/FolderRemoval.h"
#include "ui/ButtonPanel.h"
#include "ui/GradientPanel.h"
#include "ui/HelpFile.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>

#include <cstring>
#include <filesystem>

namespace velmora {

namespace {
QToolButton* MakeToolButton(QWidget* parent, const char* name, const char* themeIcon, const char* fallback, int x)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setIcon(ThemedIcon(themeIcon, fallback));
    button->setIconSize(QSize(25, 25));
    button->setGeometry(x, 0, 32, 31);
    return button;
}

} // namespace

TFormFolder::TFormFolder(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormFolder"));
    setWindowTitle(Text(FolderTexts::kCaption));
    setFixedSize(553, 351);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF2, 0xEE, 0xEB));
    setPalette(palette);
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    BuildControls();
}

void TFormFolder::BuildControls()
{
    auto* background = new GradientPanel(QColor(0xF5, 0xF1, 0xEE), QColor(0xAA, 0xAA, 0xAA), 200, this);
    background->setObjectName(QStringLiteral("Gradient"));
    background->setGeometry(0, 30, 553, 321);

    ToolBar1 = new GradientPanel(QColor(226, 226, 226), QColor(140, 140, 140), 0, this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 553, 30);
    ToolButtonNew = MakeToolButton(ToolBar1, "ToolButtonNew", "document-new", ":/app/new.svg", 205);
    ToolButtonOpen = MakeToolButton(ToolBar1, "ToolButtonOpen", "folder-open", ":/app/open-folder.svg", 237);
    ToolButtonDate = MakeToolButton(ToolBar1, "ToolButtonDate", nullptr, ":/app/clock.svg", 269);
    ToolButtonDel = MakeToolButton(ToolBar1, "ToolButtonDel", "edit-delete", ":/folders/delete.svg", 301);
    ToolButtonZip = MakeToolButton(ToolBar1, "ToolButtonZip", nullptr, ":/folders/zip.svg", 333);

    LabelDirectories = new QLabel(this);
    LabelDirectories->setObjectName(QStringLiteral("LabelDirectories"));
    LabelDirectories->move(40, 41);

    DirectoryList = new QTreeWidget(this);
    DirectoryList->setObjectName(QStringLiteral("DirectoryList"));
    DirectoryList->setGeometry(32, 60, 490, 189);
    DirectoryList->setColumnCount(3);
    DirectoryList->setRootIsDecorated(false);
    DirectoryList->setItemsExpandable(false);
    DirectoryList->setUniformRowHeights(true);
    DirectoryList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DirectoryList->setSelectionBehavior(QAbstractItemView::SelectRows);
    DirectoryList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DirectoryList->setAllColumnsShowFocus(true);
    DirectoryList->setStyleSheet(QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }"));
    DirectoryList->header()->setStretchLastSection(false);
    // The style's smallest section would widen the empty first column to about 25 pixels,
    // and the three columns would no longer fit without a horizontal scrollbar.
    DirectoryList->header()->setMinimumSectionSize(2);
    DirectoryList->setColumnWidth(0, 2);
    DirectoryList->setColumnWidth(1, 360);
    DirectoryList->setColumnWidth(2, 120);
    {
        // The selection stays visible while another control has the focus.
        QPalette p = DirectoryList->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
        DirectoryList->setPalette(p);
    }

    LabelDate = new QLabel(this);
    LabelDate->setObjectName(QStringLiteral("LabelDate"));
    EditDate = new QLineEdit(this);
    EditDate->setObjectName(QStringLiteral("EditDate"));
    EditDate->setGeometry(241, 255, 100, 21);
    EditDate->setAlignment(Qt::AlignCenter);

    const ButtonPanel foot = MakeButtonPanel(this, QRect(32, 301, 490, 30));
    PanelButton = foot.panel;
    ButtonClose = foot.button;

    connect(ToolButtonNew, &QToolButton::clicked, this, Guarded(this, &TFormFolder::ToolButtonNewClick));
    connect(ToolButtonOpen, &QToolButton::clicked, this, Guarded(this, &TFormFolder::SpeedButton1Click));
    connect(ToolButtonDate, &QToolButton::clicked, this, Guarded(this, &TFormFolder::ButtonSetDateClick));
    connect(ToolButtonDel, &QToolButton::clicked, this, Guarded(this, &TFormFolder::ToolButtonDelClick));
    connect(ToolButtonZip, &QToolButton::clicked, this, Guarded(this, &TFormFolder::Packen1Click));
    connect(ButtonClose, &QPushButton::clicked, this, Guarded(this, &TFormFolder::ButtonCloseClick));
}

QString TFormFolder::Text(const TextPair& pair) const
{
    return QString::fromUtf8(Pick(MyLanguage, pair));
}

QString TFormFolder::HelpFile() const
{
    return QString::fromStdString(HelpFilePath(*m_context.platform.environment, MyLanguage));
}

void TFormFolder::ApplyLanguage()
{
    setWindowTitle(Text(FolderTexts::kCaption));
    ToolButtonNew->setToolTip(Text(FolderTexts::kNewHint));
    ToolButtonOpen->setToolTip(Text(FolderTexts::kOpenHint));
    ToolButtonDate->setToolTip(Text(FolderTexts::kDateHint));
    ToolButtonDel->setToolTip(Text(FolderTexts::kDelHint));
    ToolButtonZip->setToolTip(Text(FolderTexts::kZipHint));
    LabelDirectories->setText(Text(FolderTexts::kFolderList));
    LabelDirectories->adjustSize();
    DirectoryList->setHeaderLabels({QString(), Text(FolderTexts::kPathColumn), Text(FolderTexts::kDateColumn)});
    LabelDate->setText(Text(FolderTexts::kNewDate));
    LabelDate->adjustSize();
    LabelDate->move(EditDate->x() - LabelDate->width() - 4,
                    EditDate->y() + (EditDate->height() - LabelDate->height()) / 2);
    ButtonClose->setText(Text(FolderTexts::kClose));
}

void TFormFolder::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (parentWidget() != nullptr) {
        const QRect owner = parentWidget()->frameGeometry();
        move(owner.center() - rect().center());
    }
    RunGuarded(this, [this] { FormShow(); });
}

void TFormFolder::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        RunGuarded(this, [this] { FormKeyDown(Qt::Key_F1); });
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormFolder::FormShow()
{
    ToolButtonNewClick();
    EditDate->setText(ShortDateText(TodayLocal(*m_context.platform.times)));
    ApplyLanguage();
}

void TFormFolder::FormKeyDown(int key)
{
    if (key == Qt::Key_F1) m_context.platform.shell->OpenHelp(HelpFile().toStdString(), 2);
}

void TFormFolder::ToolButtonNewClick()
{
    EditDate->clear();
    DirectoryList->clear();
    EditDate->setText(ShortDateText(TodayLocal(*m_context.platform.times)));
}

QString TFormFolder::ShortDateText(TDateTime value) const
{
    return QString::fromStdString(FolderDateText(*m_context.platform.localeFormats, value));
}

TDateTime TFormFolder::FolderDate(const QString& path)
{
    return velmora::FolderDate(*m_context.platform.times, WithoutTrailingSeparator(path.toStdString()));
}

bool TFormFolder::NT_SetDateTime(const QString& fileName, TDateTime dtCreation, TDateTime dtLastAccessTime,
                                 TDateTime dtLastWriteTime)
{
    return SetFolderTimes(*m_context.platform.times, fileName.toStdString(), dtCreation, dtLastAccessTime,
                          dtLastWriteTime);
}

bool TFormFolder::DeleteFolderPermanently(const QString& path)
{
    const std::filesystem::path folder = PathFromUtf8(path.toStdString());
    // Never the root, nor a folder that holds the running program or the user's home.
    if (IsGuardedFolder(folder, GuardedPaths(m_context.platform.environment->ProgramFilePath(),
                                             m_context.platform.environment->HomeFolder()))) {
        return false;
    }
    return velmora::DeleteFolderPermanently(folder);
}

void TFormFolder::ExploreFolderAsAdmin(const QString& folder)
{
    if (!m_context.platform.shell->ShowFolder(folder.toStdString())) {
        ShowMessageBox(this, QStringLiteral("ZaDI"), Text(FolderTexts::kExplorerFailed), MsgIcon::Information);
    }
}

void TFormFolder::SpeedButton1Click()
{
    const QStringList chosen = ShowFoldersDialog(this, Text(FolderTexts::kOpenHint), QString());
    for (const QString& path : chosen) {
        auto* row = new QTreeWidgetItem(DirectoryList);
        row->setText(1, path);
        row->setText(2, ShortDateText(FolderDate(path)));
    }
}

std::optional<int> TFormFolder::TargetRow() const
{
    std::vector<bool> selected;
    for (int i = 0; i < DirectoryList->topLevelItemCount(); ++i) {
        selected.push_back(DirectoryList->topLevelItem(i)->isSelected());
    }
    const std::optional<std::size_t> row = velmora::TargetRow(selected);
    if (!row) return std::nullopt;
    return static_cast<int>(*row);
}

void TFormFolder::ButtonSetDateClick()
{
    const int rows = DirectoryList->topLevelItemCount();
    if (rows == 0) return;
    const QString entered = EditDate->text();
    const std::optional<TDateTime> newDate = ParseFolderDate(*m_context.platform.localeFormats, entered.toStdString());
    if (!newDate) {
        QString message = QString::fromUtf8(FolderTexts::kInvalidDateFormat);
        message.replace(QStringLiteral("%s"), entered);
        throw VelmoraError(message.toStdString());
    }
    if (!FitsFolderDate(*newDate)) {
        ShowMessageDialog(this, DialogKind::Error, Text(FolderTexts::kDateOutOfRange));
        return;
    }
    const auto keep =
        GuardedPaths(m_context.platform.environment->ProgramFilePath(), m_context.platform.environment->HomeFolder());
    // A folder whose times cannot be set is never taken over: it is re-created only when
    // it is busy, and only by a copy that keeps everything; each refusal says why.
    QStringList refusals;
    for (int i = 0; i < rows; ++i) {
        QTreeWidgetItem* row = DirectoryList->topLevelItem(i);
        const QString path = row->text(1);
        const FolderDateResult result = ApplyFolderDate(*m_context.platform.times, path.toStdString(), *newDate, keep,
                                                        {CopyMetadata, SameMetadata});
        QString refusal;
        switch (result.outcome) {
        case FolderDateOutcome::Set:
        case FolderDateOutcome::Recreated:
            row->setText(2, ShortDateText(*newDate));
            continue;
        case FolderDateOutcome::NotPermitted:
            refusal = Text(FolderTexts::kDateNotPermitted);
            break;
        case FolderDateOutcome::Failed:
            refusal = Text(FolderTexts::kDateFailed)
                          .replace(QStringLiteral("%2"), QString::fromLocal8Bit(std::strerror(result.error)));
            break;
        case FolderDateOutcome::NotRecreated:
            refusal = Text(FolderTexts::kDateNotRecreated)
                          .replace(QStringLiteral("%2"), QString::fromStdString(result.detail));
            break;
        }
        refusals << refusal.replace(QStringLiteral("%1"), path);
    }
    if (!refusals.isEmpty()) {
        ShowMessageDialog(this, DialogKind::Error, refusals.join(QStringLiteral("\n\n")));
    }
    const std::string last = WithoutTrailingSeparator(DirectoryList->topLevelItem(rows - 1)->text(1).toStdString());
    ExploreFolderAsAdmin(QString::fromStdString(m_context.platform.environment->Paths().FolderWithSeparator(last)));
}

void TFormFolder::ToolButtonDelClick()
{
    if (DirectoryList->topLevelItemCount() == 0) return;
    const std::optional<int> target = TargetRow();
    if (!target) {
        ShowMessageDialog(this, DialogKind::Information, Text(FolderTexts::kNoDirectory));
        return;
    }
    const QString path = DirectoryList->topLevelItem(*target)->text(1);
    std::error_code ec;
    if (!std::filesystem::is_directory(PathFromUtf8(path.toStdString()), ec)) {
        ShowMessageDialog(this, DialogKind::Error, Text(FolderTexts::kFolderNotFound));
        return;
    }
    if (IsGuardedFolder(path.toStdString(), GuardedPaths(m_context.platform.environment->ProgramFilePath(),
                                                         m_context.platform.environment->HomeFolder()))) {
        ShowMessageDialog(this, DialogKind::Error, Text(FolderTexts::kDeleteGuarded));
        return;
    }
    if (ShowMessageBox(this, QStringLiteral("DarEzez"), Text(FolderTexts::kDeleteQuestion), MsgIcon::Question,
                       MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    if (DeleteFolderPermanently(path)) {
        ShowMessageDialog(this, DialogKind::Information, Text(FolderTexts::kDeleted));
    } else {
        ShowMessageDialog(this, DialogKind::Error, Text(FolderTexts::kDeleteFailed));
    }
}

void TFormFolder::Packen1Click()
{
    if (!m_zipHandOff) return;
    std::optional<QString> folder;
    if (const std::optional<int> target = TargetRow()) folder = DirectoryList->topLevelItem(*target)->text(1);
    m_zipHandOff(folder, MyLanguage);
}

void TFormFolder::ButtonCloseClick()
{
    close();
}

} // namespace velmora
