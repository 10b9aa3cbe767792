#include "app/unlockpas.h"

#include "app/AdminTest.h"
#include "app/HeldBy.h"
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
#include "folders/UnitFolder.h"
#include "info/ProductLinks.h"
#include "info/Reabout.h"
#include "info/UnitStartscreen.h"
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
#include "shortcut/UnitLink.h"
#include "ui/ButtonPanel.h"
#include "ui/Fonts.h"
#include "ui/GradientPanel.h"
#include "ui/HelpFile.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"
#include "update/ReleaseVersion.h"
#include "update/UpdateNotice.h"
#include "update/UpdateTexts.h"
#include "ziptool/UnitZip.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>

#include <cstdlib>
#include <filesystem>

namespace velmora {

namespace {
void Place(QWidget* w, int x, int y, int width = -1, int height = -1)
{
    if (width < 0 || height < 0) {
        w->adjustSize();
        w->move(x, y);
    } else {
        w->setGeometry(x, y, width, height);
    }
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QColor base, bool readOnly)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setFont(ArialFont(9));
    edit->setReadOnly(readOnly);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, base);
    edit->setPalette(palette);
    return edit;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QToolButton* MakeFlatButton(QWidget* parent, const char* name, const QIcon& icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(22, 22));
    return button;
}

void SetMaroonText(QLineEdit* edit)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, QColor(128, 0, 0));
    edit->setPalette(palette);
}
} // namespace

TFormLock::TFormLock(AppContext context, QWidget* parent)
    : QWidget(parent), m_context(context), m_logic(context.platform, context.waiter, m_view, *this)
{
    setObjectName(QStringLiteral("FormLock"));
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(454, 386);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(242, 238, 235));
    setPalette(palette);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    BuildControls();
    BuildToolBar();
    // A start-up that fails before its own steps still leaves a usable window: English
    // texts and no in-use mark until a file is shown.
    ApplyLanguage();
    ImageJa3->hide();
    Label5->hide();

    TimerUpdate = new QTimer(this);
    TimerUpdate->setObjectName(QStringLiteral("TimerUpdate"));
    TimerUpdate->setInterval(static_cast<int>(m_context.waiter.TimerInterval(std::chrono::milliseconds(5000)).count()));
    connect(TimerUpdate, &QTimer::timeout, this, [this] { RunGuarded(this, [this] { TimerUpdateTimer(); }); });

    // Centred on the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    FormCreate();
}

TFormLock::~TFormLock()
{
    qApp->removeEventFilter(this);
}

void TFormLock::SetWindows(TFormFolder* folder, TFormLink* link, TAboutBox* about, TFormFreeware* freeware)
{
    m_formFolder = folder;
    m_formLink = link;
    m_aboutBox = about;
    m_formFreeware = freeware;
}

void TFormLock::BuildToolBar()
{
    ToolBar1 = new GradientPanel(QColor(226, 226, 226), QColor(140, 140, 140), 0, this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 454, 30);

    struct ButtonSpec {
        QToolButton** slot;
        const char* name;
        const char* themeIcon;
        const char* fallback;
        void (TFormLock::*handler)();
    };
    const ButtonSpec buttons[] = {
        {&ToolButton6, "ToolButton6", "document-new", ":/app/new.svg", &TFormLock::ToolButton6Click},
        {&ToolButton4, "ToolButton4", "document-save", ":/app/save.svg", &TFormLock::ToolButton4Click},
        {&ToolButtonDir, "ToolButtonDir", nullptr, ":/app/folder-tools.svg", &TFormLock::ToolButtonDirClick},
        {&ToolButtonLink, "ToolButtonLink", nullptr, ":/app/link.svg", &TFormLock::ToolButtonLinkClick},
        {&ToolButtonLang, "ToolButtonLang", nullptr, ":/app/flag-gb.svg", &TFormLock::ToolButtonLangClick},
        {&ToolButtonUpdate, "ToolButtonUpdate", nullptr, ":/app/update.svg", &TFormLock::ToolButtonUpdateClick},
        {&ToolButtonInfo, "ToolButtonInfo", nullptr, ":/app/info.svg", &TFormLock::ToolButtonInfoClick},
    };
    int x = 90;
    for (const ButtonSpec& entry : buttons) {
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QLatin1String(entry.name));
        button->setAutoRaise(true);
        button->setIcon(ThemedIcon(entry.themeIcon, entry.fallback));
        button->setIconSize(QSize(25, 25));
        button->setGeometry(x, 0, 32, 31);
        x += 32;
        connect(button, &QToolButton::clicked, this, Guarded(this, entry.handler));
        *entry.slot = button;
    }
    ToolButtonUpdate->setToolTip(QString::fromLatin1(kUpdatesHint));
    ToolButtonInfo->setToolTip(QString::fromLatin1(kInfoHint));
}

void TFormLock::BuildControls()
{
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(0, 30, 454, 65);

    Label1 = MakeLabel(GroupBox1, "Label1");
    Label1->setFont(ArialFont(8));
    Place(Label1, 28, 15);
    ImageJa3 = MakeLabel(GroupBox1, "ImageJa3");
    ImageJa3->setPixmap(QIcon(QStringLiteral(":/app/tick.svg")).pixmap(20, 20));
    ImageJa3->setScaledContents(true);
    Place(ImageJa3, 357, 11, 20, 20);
    Label5 = MakeLabel(GroupBox1, "Label5", QString::fromLatin1(kInUseText));
    Label5->setFont(ArialFont(8));
    Place(Label5, 380, 13);
    // The mark tells who holds the file (tooltip) and opens the list of them (click).
    ImageJa3->setCursor(Qt::PointingHandCursor);
    Label5->setCursor(Qt::PointingHandCursor);
    Edit1 = MakeEdit(GroupBox1, "Edit1", Qt::white, false);
    Place(Edit1, 26, 33, 388, 21);
    SpeedButton2 = MakeFlatButton(GroupBox1, "SpeedButton2", QIcon(QStringLiteral(":/app/open-folder.svg")));
    Place(SpeedButton2, 416, 33, 28, 29);

    JvGradient7 = new GradientPanel(QColor(245, 241, 238), QColor(170, 170, 170), 200, this);
    JvGradient7->setObjectName(QStringLiteral("JvGradient7"));
    JvGradient7->setGeometry(0, 95, 454, 291);
    JvGradient7->lower();

    LabelLApp = MakeLabel(this, "LabelLApp");
    Place(LabelLApp, 26, 99);
    EditLApp = MakeEdit(this, "EditLApp", QColor(245, 245, 245), true);
    Place(EditLApp, 26, 115, 388, 21);
    SpeedButton4 = MakeFlatButton(this, "SpeedButton4", QIcon(QStringLiteral(":/app/power.svg")));
    Place(SpeedButton4, 416, 112, 28, 29);

    LabelDefApp = MakeLabel(this, "LabelDefApp");
    Place(LabelDefApp, 26, 143);
    EditDefApp = MakeEdit(this, "EditDefApp", QColor(235, 235, 235), true);
    Place(EditDefApp, 26, 160, 388, 21);
    LabelExt = MakeLabel(this, "LabelExt");
    LabelExt->setFont(ArialFont(9));
    {
        QPalette p = LabelExt->palette();
        p.setColor(QPalette::WindowText, QColor(128, 0, 0));
        LabelExt->setPalette(p);
    }
    Place(LabelExt, 272, 143);
    ButtonDefaults = MakeFlatButton(this, "ButtonDefaults", QIcon(QStringLiteral(":/app/gears.svg")));
    Place(ButtonDefaults, 416, 159, 26, 25);

    Label3 = MakeLabel(this, "Label3");
    Place(Label3, 26, 190);
    EditGr = MakeEdit(this, "EditGr", QColor(235, 235, 235), true);
    EditGr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetMaroonText(EditGr);
    Place(EditGr, 26, 205, 150, 21);
    LabelBytes = MakeLabel(this, "LabelBytes", QStringLiteral("Bytes"));
    Place(LabelBytes, 178, 207);

    Label2 = MakeLabel(this, "Label2");
    Place(Label2, 26, 235);
    EditDate1 = MakeEdit(this, "EditDate1", QColor(235, 235, 235), true);
    EditDate1->setAlignment(Qt::AlignCenter);
    SetMaroonText(EditDate1);
    Place(EditDate1, 26, 250, 150, 21);
    SpeedButton3 = MakeFlatButton(this, "SpeedButton3", QIcon(QStringLiteral(":/app/clock.svg")));
    Place(SpeedButton3, 178, 248, 28, 29);

    Label6 = MakeLabel(this, "Label6");
    Place(Label6, 26, 279);
    EditDate2 = MakeEdit(this, "EditDate2", QColor(235, 235, 235), true);
    EditDate2->setAlignment(Qt::AlignCenter);
    SetMaroonText(EditDate2);
    Place(EditDate2, 25, 295, 150, 21);

    Label4 = MakeLabel(this, "Label4");
    Label4->setFont(ArialFont(8));
    Place(Label4, 232, 189);
    const struct {
        QCheckBox** slot;
        const char* name;
        int y;
        int width;
    } boxes[] = {{&CheckBox2, "CheckBox2", 213, 80},
                 {&CheckBox3, "CheckBox3", 238, 105},
                 {&CheckBox4, "CheckBox4", 263, 80},
                 {&CheckBox5, "CheckBox5", 286, 80}};
    for (const auto& entry : boxes) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QLatin1String(entry.name));
        box->setFont(ArialFont(8));
        box->setGeometry(232, entry.y, entry.width, 17);
        *entry.slot = box;
    }
    CheckBox5->setText(QString::fromLatin1(kSystemText));
    CheckBox5->setAutoFillBackground(true);
    {
        QPalette p = CheckBox5->palette();
        p.setColor(QPalette::Window, QColor(192, 192, 192));
        CheckBox5->setPalette(p);
    }

    LabelIcon = MakeLabel(this, "LabelIcon");
    LabelIcon->setFont(ArialFont(8));
    Place(LabelIcon, 362, 189);
    Image1 = MakeLabel(this, "Image1");
    Image1->setAlignment(Qt::AlignCenter);
    Place(Image1, 362, 209, 32, 32);
    Image1->installEventFilter(this);

    const ButtonPanel foot = MakeButtonPanel(this, QRect(100, 330, 250, 30));
    PanelButton = foot.panel;
    ButtonClose = foot.button;

    connect(SpeedButton2, &QToolButton::clicked, this, Guarded(this, &TFormLock::ToolButton1Click));
    connect(SpeedButton3, &QToolButton::clicked, this, Guarded(this, &TFormLock::ToolButton7Click));
    connect(SpeedButton4, &QToolButton::clicked, this, Guarded(this, &TFormLock::ToolButton2Click));
    connect(ButtonDefaults, &QToolButton::clicked, this, Guarded(this, &TFormLock::ButtonDefaultsClick));
    connect(ButtonClose, &QPushButton::clicked, this, Guarded(this, &TFormLock::Button1Click));
}

void TFormLock::FormCreate()
{
    // Drops of local files are accepted from any program; no message filter exists here.
    setAcceptDrops(true);
    // Key preview: the window sees every key before the focused control does.
    qApp->installEventFilter(this);
}

void TFormLock::setVisible(bool visible)
{
    // The first showing runs the start-up sequence; the window appears only after it.
    if (visible && !m_startupRan) {
        m_startupRan = true;
        FormShow();
    }
    QWidget::setVisible(visible);
}

void TFormLock::closeEvent(QCloseEvent* event)
{
    m_logic.FormClose();
    event->accept();
}

void TFormLock::WMDropFiles(const QStringList& paths)
{
    std::vector<std::string> list;
    for (const QString& path : paths)
        list.push_back(path.toStdString());
    m_logic.WMDropFiles(list);
}

void TFormLock::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void TFormLock::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile());
    }
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // Only the first dropped file is shown.
    RunGuarded(this, [this, first = paths.front()] { WMDropFiles({first}); });
}

bool TFormLock::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched == Image1) {
        Image1Click();
        return false;
    }
    if (watched == ImageJa3 || watched == Label5) {
        if (event->type() == QEvent::ToolTip) {
            // Asked when the tooltip is about to show, so it is current and in the current language.
            static_cast<QWidget*>(watched)->setToolTip(HoldersToolTip());
            return false;
        }
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            RunGuarded(this, [this] { ImageJa3Click(); });
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        // Key preview: F1, F2 and F3 act wherever the focus is inside this window, with
        // or without modifiers. They are taken here, so a key acts once even though Qt
        // offers an unhandled key to every parent in turn; no control uses these keys.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_F1 || key == Qt::Key_F2 || key == Qt::Key_F3) {
                RunGuarded(this, [this, key] { FormKeyDown(key); });
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormLock::FormKeyDown(int key)
{
    switch (key) {
    case Qt::Key_F1:
        m_logic.FormKeyDown(FunctionKey::F1);
        break;
    case Qt::Key_F2:
        m_logic.FormKeyDown(FunctionKey::F2);
        break;
    case Qt::Key_F3:
        m_logic.FormKeyDown(FunctionKey::F3);
        break;
    default:
        break;
    }
}

// ---- What only this window does for the logic ----

void TFormLock::ShowFileIcon(const std::string& path)
{
    // The themed icon of the file's type.
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QString::fromStdString(path));
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    Image1->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
}

void TFormLock::SetLanguageImage(int imageIndex)
{
    ToolButtonLang->setIcon(QIcon(imageIndex == kBritishFlagImage ? QStringLiteral(":/app/flag-gb.svg")
                                                                  : QStringLiteral(":/app/flag-de.svg")));
    ToolButtonLang->setProperty("imageIndex", imageIndex);
}

std::optional<std::string> TFormLock::ChooseFile()
{
    const std::optional<QString> chosen = ShowOpenFileDialog(this, QString(), QString());
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
}

void TFormLock::OpenFolderTools(std::int32_t language)
{
    if (m_formFolder == nullptr) return;
    m_formFolder->MyLanguage = language;
    m_formFolder->exec();
}

void TFormLock::OpenLinkWindow(std::int32_t language, const std::string& program)
{
    if (m_formLink == nullptr) return;
    m_formLink->CurLanguage = language;
    m_formLink->EditProg->setText(QString::fromStdString(program));
    m_formLink->exec();
}

void TFormLock::OpenAbout(std::int32_t language)
{
    if (m_aboutBox == nullptr) return;
    m_aboutBox->move(frameGeometry().left() + 90, frameGeometry().top() + 50);
    m_aboutBox->ALanguage = language;
    m_aboutBox->exec();
}

void TFormLock::ShowStartScreen(std::int32_t language)
{
    if (m_formFreeware == nullptr) return;
    m_formFreeware->Language = language;
    m_formFreeware->LabelTitle->setText(QStringLiteral("Velmora"));
    m_formFreeware->exec();
}

void TFormLock::OpenHeldBy(std::int32_t language, const std::string& path)
{
    if (FormHeldBy == nullptr) FormHeldBy = new THeldBy(m_context, this);
    FormHeldBy->Language = language;
    FormHeldBy->Path = path;
    FormHeldBy->Refreshed = [this, path] { m_logic.RefreshInUseMark(path); };
    FormHeldBy->exec();
}

void TFormLock::StartNoticeTimer()
{
    TimerUpdate->start();
}

void TFormLock::StopNoticeTimer()
{
    TimerUpdate->stop();
}

void TFormLock::CloseWindow()
{
    close();
}

void TFormLock::Repaint()
{
    QCoreApplication::processEvents();
}

} // namespace velmora
