#include "app/unlockpas.h"

#include "app/AdminTest.h"
#include "app/HeldBy.h"
#include "app/MainTexts.h"
#include "app/Settings.h"
#include "archive/UnitZip.h"
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
#include "ui/GradientPanel.h"
#include "ui/HelpFile.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"
#include "update/ReleaseVersion.h"
#include "update/UpdateNotice.h"
#include "update/UpdateTexts.h"

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
QFont ArialFont(int points)
{
    QFont font(QStringLiteral("Arial"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

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

void UpdateVisibleSize(QLabel* label)
{
    label->adjustSize();
}
} // namespace

TFormLock::TFormLock(AppContext context, QWidget* parent) : QWidget(parent), m_context(context)
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

QString TFormLock::Text(const char* english, const char* german) const
{
    return QString::fromUtf8(IsEnglish(Language) ? english : german);
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

void TFormLock::FormShow()
{
    Language = kEnglish;
    UpdateTickCount = 0;
    try {
        Paths = DeriveAppPaths(*m_context.platform.environment);
        EnsureDataFolder(Paths);
        LoadSettings();
        if (m_formFreeware != nullptr) {
            m_formFreeware->Language = Language;
            m_formFreeware->LabelTitle->setText(QStringLiteral("Velmora"));
            m_formFreeware->exec();
        }
        ApplyLanguage();
        if (!TestAdminRights(m_context.platform.environment->SystemDriveRoot())) {
            ShowMessageDialog(this, DialogKind::Warning,
                              QString::fromUtf8(Pick(Language, MainMessages::kAdminWarning)));
        }
        ClearFileView();
        StartUpdater();
    } catch (const std::exception& error) {
        ShowErrorBox(this, QString::fromUtf8(error.what()));
    }
}

void TFormLock::LoadSettings()
{
    LoadSettingsFile(Paths.settingsFile, Language);
}

void TFormLock::SaveSettings()
{
    SaveSettingsFile(Paths.settingsFile, Language);
}

void TFormLock::ApplyLanguage()
{
    for (const ControlText& entry : MainWindowTexts()) {
        QWidget* control = findChild<QWidget*>(QLatin1String(entry.control));
        if (control == nullptr) continue;
        const QString text = QString::fromUtf8(Pick(Language, entry.text));
        if (entry.target == TextTarget::Hint) {
            control->setToolTip(text);
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(text);
            UpdateVisibleSize(label);
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(text);
        }
    }
    m_languageImage = IsEnglish(Language) ? kBritishFlagImage : kGermanFlagImage;
    ToolButtonLang->setIcon(
        QIcon(IsEnglish(Language) ? QStringLiteral(":/app/flag-gb.svg") : QStringLiteral(":/app/flag-de.svg")));
    ToolButtonLang->setProperty("imageIndex", m_languageImage);
    HelpFile = QString::fromStdString(HelpFilePath(*m_context.platform.environment, Language));
    ProductPage = QString::fromUtf8(Pick(Language, kProductPage));
}

void TFormLock::StartUpdater()
{
    // The start's result is of no interest: a missing updater simply writes no release file.
    m_context.platform.shell->StartHidden(Paths.updaterPath, {Paths.programFileName, "false"});
    TimerUpdate->start();
}

void TFormLock::closeEvent(QCloseEvent* event)
{
    // The program ends even when the settings cannot be written; the user is told.
    try {
        SaveSettings();
    } catch (const std::exception& error) {
        ShowErrorBox(this, QString::fromUtf8(error.what()));
    }
    event->accept();
}

void TFormLock::Button1Click()
{
    close();
}

void TFormLock::Image1Click() {}

QString TFormLock::HoldersToolTip() const
{
    const std::string path = QFile::encodeName(Edit1->text().trimmed()).toStdString();
    if (path.empty()) return QString();
    const HolderList list = m_context.platform.holders->ListHolders(path);
    if (!list.exists) return QString();
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(PathFromUtf8(path), ec);
    const std::string canonical = ec ? path : Utf8FromPath(resolved);
    return QString::fromUtf8(Pick(Language, HolderTexts::kTitle)) + QStringLiteral(":\n") +
           QString::fromStdString(HoldersSummary(list, canonical, Language));
}

void TFormLock::ImageJa3Click()
{
    const QString path = Edit1->text().trimmed();
    if (path.isEmpty()) return;
    if (FormHeldBy == nullptr) FormHeldBy = new THeldBy(m_context, this);
    FormHeldBy->Language = Language;
    FormHeldBy->Path = QFile::encodeName(path).toStdString();
    // Each refresh of the list brings the mark up to date, by the test that set it.
    FormHeldBy->Refreshed = [this, path] {
        const bool locked = m_context.platform.usage->IsFileInUse(QFile::encodeName(path).toStdString());
        ImageJa3->setVisible(locked);
        Label5->setVisible(locked);
    };
    FormHeldBy->exec();
}

void TFormLock::ToolButtonLangClick()
{
    Language = SwitchedLanguage(Language);
    ApplyLanguage();
}

void TFormLock::ToolButton6Click()
{
    ClearFileView();
}

void TFormLock::ToolButtonDirClick()
{
    if (m_formFolder == nullptr) return;
    m_formFolder->MyLanguage = Language;
    m_formFolder->exec();
}

void TFormLock::ToolButtonLinkClick()
{
    if (m_formLink == nullptr) return;
    m_formLink->CurLanguage = Language;
    m_formLink->EditProg->setText(Edit1->text().trimmed());
    m_formLink->exec();
}

void TFormLock::ToolButtonUpdateClick()
{
    if (m_aboutBox != nullptr) m_aboutBox->OpenUrl(ProductPage);
}

void TFormLock::ToolButtonInfoClick()
{
    if (m_aboutBox == nullptr) return;
    m_aboutBox->move(frameGeometry().left() + 90, frameGeometry().top() + 50);
    m_aboutBox->ALanguage = Language;
    m_aboutBox->exec();
}

void TFormLock::ToolButton1Click()
{
    const std::optional<QString> chosen = ShowOpenFileDialog(this, QString(), QString());
    if (!chosen) return;
    ClearFileView();
    // Linux names are case-sensitive, so the chosen path keeps its case.
    Edit1->setText(*chosen);
    InspectFile(Edit1->text());
}

void TFormLock::WMDropFiles(const QStringList& paths)
{
    if (paths.isEmpty()) return;
    ClearFileView();
    Edit1->setText(paths.front());
    InspectFile(paths.front());
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
        m_context.platform.shell->OpenHelp(HelpFile.toStdString(), 1);
        break;
    case Qt::Key_F2:
        ToolButtonLangClick();
        break;
    case Qt::Key_F3:
        ShowMessageBox(this, QString(), QString::fromLatin1(kReleaseText), MsgIcon::None);
        break;
    default:
        break;
    }
}

// ---- File view and commands that act on the current file ----

void TFormLock::ClearFileView()
{
    ImageJa3->setVisible(false);
    Edit1->clear();
    EditLApp->clear();
    EditDefApp->clear();
    EditGr->clear();
    EditDate1->clear();
    EditDate2->clear();
    LabelExt->clear();
    Label5->setVisible(false);
    CheckBox2->setChecked(false);
    CheckBox3->setChecked(false);
    CheckBox4->setChecked(false);
    CheckBox5->setChecked(false);
    Image1->setVisible(false);
    LabelIcon->setVisible(false);
}

void TFormLock::InspectFile(const QString& path)
{
    const InspectedFile record = GatherInspection(QFile::encodeName(path).toStdString(), m_context.platform);

    // The themed icon of the file's type; both the picture and its label show even
    // when the theme has none.
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(path);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    Image1->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
    Image1->setVisible(true);
    LabelIcon->setVisible(true);

    // The mark is only ever set here; "New" and a new file clear it.
    if (record.inUse) {
        ImageJa3->setVisible(true);
        Label5->setVisible(true);
    }

    switch (record.lookupCode) {
    case kFindFileNotFound:
        ShowMessageDialog(this, DialogKind::Error,
                          QStringLiteral("File not found: \"%1\" .").arg(QString::fromStdString(record.lookupFile)));
        break;
    case kFindPathNotFound:
        ShowMessageDialog(this, DialogKind::Error,
                          QStringLiteral("Path \"%1\" not found.").arg(QString::fromStdString(record.lookupFolder)));
        break;
    case kFindBadFormat:
        ShowMessageDialog(this, DialogKind::Error, QStringLiteral("Invalid Executable"));
        break;
    default:
        break;
    }

    LabelExt->setText(QString::fromStdString(record.extension));
    LabelExt->adjustSize();
    if (!TrimBlanks(record.userChoiceApplication).empty()) {
        EditLApp->setText(QString::fromStdString(record.userChoiceApplication));
    }
    EditDefApp->setText(QString::fromStdString(record.defaultApplicationName));
    EditGr->setText(QString::fromStdString(record.sizeNumber));
    LabelBytes->setText(QString::fromStdString(record.sizeUnit));
    LabelBytes->adjustSize();
    EditDate1->setText(QString::fromStdString(record.modifiedText));
    EditDate2->setText(QString::fromStdString(record.lastAccessText));

    // A box is only ever ticked here, never cleared.
    const std::pair<bool, QCheckBox*> boxes[] = {{record.archive, CheckBox2},
                                                 {record.readOnly, CheckBox3},
                                                 {record.hidden, CheckBox4},
                                                 {record.system, CheckBox5}};
    for (const auto& [set, box] : boxes) {
        if (set) {
            box->setChecked(true);
        }
    }
}

namespace {
constexpr std::chrono::milliseconds kSettleTime{200};

// Paths go to the file system in the encoding of the user's locale.
std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
} // namespace

void TFormLock::ToolButton4Click()
{
    const QString path = Edit1->text().trimmed();
    if (!IsExistingFile(LocalPath(path))) return;
    const std::uint32_t attributes = AttributesFromBoxes(
        {CheckBox2->isChecked(), CheckBox3->isChecked(), CheckBox4->isChecked(), CheckBox5->isChecked()});
    IFileAttributes& store = *m_context.platform.attributes;
    // A set the system cannot hold (Hidden cleared on a dot name) is refused with its
    // reason; other failed writes are not reported: the inspection shows what the file has.
    const bool refused = store.RefusalFor(LocalPath(path), attributes) != AttributeRefusal::None;
    const bool written = !refused && store.WriteAttributes(LocalPath(path), attributes);
    m_context.waiter.Wait(kSettleTime);
    InspectFile(path);
    if (refused) {
        ShowMessageBox(this, QString::fromLatin1(FileOpsMessages::kCaption),
                       QString::fromUtf8(Pick(Language, FileOpsMessages::kNameAlwaysHidden)), MsgIcon::Error);
    } else if (written) {
        ShowMessageBox(this, QString::fromLatin1(FileOpsMessages::kCaption),
                       QString::fromUtf8(Pick(Language, MainMessages::kAttributesChanged)), MsgIcon::Information);
    }
}

void TFormLock::ToolButton7Click()
{
    const QString path = Edit1->text().trimmed();
    if (!IsExistingFile(LocalPath(path))) return;
    // The view decides: a ticked "Read only" (saved or not) or the in-use mark refuses.
    if (CheckBox3->isChecked() || !ImageJa3->isHidden()) {
        ShowMessageBox(this, QString::fromLatin1(FileOpsMessages::kCaption),
                       QString::fromUtf8(Pick(Language, MainMessages::kDateRefused)), MsgIcon::Error);
        return;
    }
    const LocaleFormats formats = m_context.platform.localeFormats->Formats();
    const QString proposal = QString::fromStdString(FormatDateTimeText(m_context.platform.times->Now(), formats));
    const std::optional<QString> entered =
        ShowInputBox(this, QString::fromUtf8(Pick(Language, MainMessages::kDatePromptCaption)),
                     QString::fromUtf8(Pick(Language, MainMessages::kDatePromptText)), proposal);
    // Cancel leaves the file as it is.
    if (!entered) return;
    const std::string text = entered->toStdString();
    const std::optional<TDateTime> dateTime = ParseDateTimeText(text, formats);
    if (!dateTime) throw VelmoraError(InvalidDateTimeText(text));
    ApplyFileDate(path, *dateTime);
    QCoreApplication::processEvents();
    m_context.waiter.Wait(kSettleTime);
    InspectFile(path);
}

void TFormLock::ApplyFileDate(const QString& path, TDateTime dateTime)
{
    // A date that cannot be stored, or a file that is read-only or held by another
    // program, keeps its old time without a message; the re-inspection shows it.
    const FileDateOutcome outcome =
        velmora::ApplyFileDate(LocalPath(path), dateTime,
                               {*m_context.platform.times, *m_context.platform.attributes, *m_context.platform.usage});
    if (outcome.readBack) {
        EditDate1->setText(
            QString::fromStdString(FormatDateTimeText(*outcome.readBack, m_context.platform.localeFormats->Formats())));
    }
}

void TFormLock::ToolButton2Click()
{
    if (EditLApp->text().trimmed().isEmpty()) return;
    const std::string launcher = LauncherAmong(m_context.platform.environment->Paths(),
                                               {LocalPath(EditLApp->text()), LocalPath(EditDefApp->text())});
    if (!launcher.empty()) {
        // Ending a shell or interpreter by name would end every program that runs under it.
        QString text = QString::fromUtf8(Pick(Language, FileOpsMessages::kLauncherRefused));
        ShowMessageBox(this, QString::fromLatin1(FileOpsMessages::kCaption),
                       text.replace(QStringLiteral("%1"), QString::fromStdString(launcher)), MsgIcon::Error);
        return;
    }
    const bool ended =
        EndAssociatedPrograms(*m_context.platform.processes, m_context.platform.environment->Paths(), m_context.waiter,
                              {LocalPath(EditLApp->text()), LocalPath(EditDefApp->text())});
    const QString caption = QString::fromLatin1(FileOpsMessages::kCaption);
    if (ended) {
        ShowMessageBox(this, caption, QString::fromUtf8(Pick(Language, FileOpsMessages::kTerminated)),
                       MsgIcon::Information);
    } else {
        ShowMessageBox(this, caption, QString::fromUtf8(Pick(Language, FileOpsMessages::kNotRunning)), MsgIcon::Error);
    }
    // Only the in-use mark is brought up to date; the rest of the view stays as it is.
    const bool locked = m_context.platform.usage->IsFileLocked(LocalPath(Edit1->text().trimmed()));
    ImageJa3->setVisible(locked);
    Label5->setVisible(locked);
}

void TFormLock::ButtonDefaultsClick()
{
    if (!m_context.platform.desktopSettings->OpenDefaultApps()) {
        ShowMessageDialog(this, DialogKind::Error, QString::fromLatin1(kDefaultAppsFailedText));
    }
}

void TFormLock::TimerUpdateTimer()
{
    const QString notice = QString::fromUtf8(Pick(Language, kUpdateNoticeText));
    const std::string localVersion = ProgramVersionText(Language);
    switch (UpdateTick(UpdateTickCount, Paths.temporaryFile, localVersion, Language)) {
    case UpdateTickResult::KeepPolling:
        return;
    case UpdateTickResult::StopPolling:
        TimerUpdate->stop();
        return;
    case UpdateTickResult::ShowNotice:
        // Off before the box opens, so no further tick runs while it waits for the user.
        TimerUpdate->stop();
        ShowMessageBox(this, QString::fromLatin1(kUpdaterCaption), notice, MsgIcon::Information);
        m_context.platform.shell->OpenUrl(ProductPage.toStdString());
        return;
    }
}

} // namespace velmora
