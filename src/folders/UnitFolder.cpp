#include "folders/UnitFolder.h"

#include "folders/FolderTexts.h"
#include "ui/ButtonPanel.h"
#include "ui/GradientPanel.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QUrl>

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

TFormFolder::TFormFolder(AppContext context, QWidget* parent)
    : QDialog(parent), m_context(context), m_logic(context.platform, m_view, *this)
{
    setObjectName(QString::fromLatin1(FolderToolsLogic::kWindow));
    setWindowTitle(QString::fromUtf8(Pick(MyLanguage, FolderTexts::kCaption)));
    setFixedSize(553, 351);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF2, 0xEE, 0xEB));
    setPalette(palette);
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    BuildControls();
    setAcceptDrops(true);
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

void TFormFolder::TextsApplied()
{
    // The date label ends just left of the date field, centred on its height.
    LabelDate->move(EditDate->x() - LabelDate->width() - 4,
                    EditDate->y() + (EditDate->height() - LabelDate->height()) / 2);
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
    if (event->matches(QKeySequence::Paste)) {
        AddFoldersFrom(QGuiApplication::clipboard()->mimeData());
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormFolder::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() || event->mimeData()->hasText()) event->acceptProposedAction();
}

void TFormFolder::dropEvent(QDropEvent* event)
{
    AddFoldersFrom(event->mimeData());
    event->acceptProposedAction();
}

// Files copied or dragged from a file manager come as URLs; a path copied as text comes one
// to a line. The logic keeps what names an existing folder.
void TFormFolder::AddFoldersFrom(const QMimeData* data)
{
    if (data == nullptr) return;
    std::vector<std::string> paths;
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
        }
    } else if (data->hasText()) {
        for (const QString& line : data->text().split(QLatin1Char('\n')))
            paths.push_back(line.toStdString());
    }
    RunGuarded(this, [this, &paths] { m_logic.AddFolders(paths); });
}

void TFormFolder::FormKeyDown(int key)
{
    if (key == Qt::Key_F1) m_logic.HelpKey();
}

std::vector<std::string> TFormFolder::ChooseFolders(const std::string& caption)
{
    std::vector<std::string> folders;
    for (const QString& path : ShowFoldersDialog(this, QString::fromStdString(caption), QString()))
        folders.push_back(path.toStdString());
    return folders;
}

void TFormFolder::OpenZipTool(const std::optional<std::string>& folder, std::int32_t language)
{
    if (!m_zipHandOff) return;
    std::optional<QString> chosen;
    if (folder) chosen = QString::fromStdString(*folder);
    m_zipHandOff(chosen, language);
}

} // namespace velmora
