#include "shortcut/UnitLink.h"

#include "shortcut/LinkTexts.h"
#include "ui/GradientPanel.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

namespace velmora {

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name, int x, int y)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(x, y, 329, 21);
    return edit;
}

// The label sits above its edit, as wide as the edit.
QLabel* MakeEditLabel(QWidget* parent, const char* name, QLineEdit* edit)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(edit->x(), edit->y() - 17, edit->width(), 15);
    label->setBuddy(edit);
    label->setProperty("fixedBox", true);
    return label;
}

QToolButton* MakeGlyphButton(QWidget* parent, const char* name, int x, int y)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setIcon(ThemedIcon("document-open", ":/app/open-folder.svg"));
    button->setIconSize(QSize(22, 22));
    button->setGeometry(x, y, 28, 29);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A flat button filling a framed panel.
QPushButton* MakePanelButton(QWidget* parent, const char* panelName, const char* buttonName, int x, int y,
                             QFrame** panelOut)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(panelName));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(x, y, 150, 30);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    auto* button = new QPushButton(panel);
    button->setObjectName(QLatin1String(buttonName));
    button->setFlat(true);
    // Enter in an edit field must not write a shortcut by itself.
    button->setAutoDefault(false);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(button);
    *panelOut = panel;
    return button;
}

// The save dialog without an overwrite question: the shortcut path is only chosen here,
// and the name gets the ".lnk" extension afterwards anyway.
std::optional<QString> ChooseLinkPath(QWidget* parent, const QString& startPath)
{
    if (DialogHook::IsEnabled()) return ShowSaveFileDialog(parent, QString(), startPath);
    const QString path = QFileDialog::getSaveFileName(parent, QString(), startPath, QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

} // namespace

TFormLink::TFormLink(AppContext context, QWidget* parent)
    : QDialog(parent), m_context(context), m_logic(context.platform, m_view, *this)
{
    setObjectName(QString::fromLatin1(LinkWindowLogic::kWindow));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(394, 212);
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    Background = new GradientPanel(QColor(245, 241, 238), QColor(170, 170, 170), 200, this);
    Background->setObjectName(QStringLiteral("Background"));
    Background->setGeometry(0, 0, 394, 212);

    EditProg = MakeEdit(this, "EditProg", 23, 22);
    EditProgLabel = MakeEditLabel(this, "EditProgLabel", EditProg);
    ButtonOpen = MakeGlyphButton(this, "ButtonOpen", 358, 14);
    EditLinkFolder = MakeEdit(this, "EditLinkFolder", 23, 70);
    EditLinkFolderLabel = MakeEditLabel(this, "EditLinkFolderLabel", EditLinkFolder);
    ButtonSaveLink = MakeGlyphButton(this, "ButtonSaveLink", 358, 68);
    EditParameter = MakeEdit(this, "EditParameter", 23, 118);
    EditParameterLabel = MakeEditLabel(this, "EditParameterLabel", EditParameter);
    ButtonParam = MakeGlyphButton(this, "ButtonParam", 358, 114);
    ButtonCreateLink = MakePanelButton(this, "PanelButton", "ButtonCreateLink", 23, 160, &PanelButton);
    ButtonCancel = MakePanelButton(this, "Panel1", "ButtonCancel", 202, 160, &Panel1);

    setTabOrder(EditProg, EditLinkFolder);
    setTabOrder(EditLinkFolder, EditParameter);
    setTabOrder(EditParameter, ButtonCreateLink);
    setTabOrder(ButtonCreateLink, ButtonCancel);

    const auto guard = [this](auto handler) { return [this, handler] { RunGuarded(this, handler); }; };
    connect(ButtonOpen, &QToolButton::clicked, this, guard([this] { ButtonOpenClick(ButtonOpen); }));
    connect(ButtonParam, &QToolButton::clicked, this, guard([this] { ButtonOpenClick(ButtonParam); }));
    connect(ButtonSaveLink, &QToolButton::clicked, this, guard([this] { ButtonSaveLinkClick(); }));
    connect(ButtonCreateLink, &QPushButton::clicked, this, guard([this] { ButtonCreateLinkClick(); }));
    connect(ButtonCancel, &QPushButton::clicked, this, guard([this] { ButtonCancelClick(); }));

    // Key preview: the window sees F1 before the focused control.
    qApp->installEventFilter(this);
    ApplyLanguage();
}

TFormLink::~TFormLink()
{
    qApp->removeEventFilter(this);
}

void TFormLink::showEvent(QShowEvent* event)
{
    // Centred on the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
    if (!event->spontaneous()) RunGuarded(this, [this] { FormShow(); });
}

std::optional<std::string> TFormLink::ChooseFile()
{
    const std::optional<QString> chosen = ShowOpenFileDialog(this, QString(), QString());
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
}

std::optional<std::string> TFormLink::ChooseLinkFile(const std::string& startPath)
{
    const std::optional<QString> chosen = ChooseLinkPath(this, QString::fromStdString(startPath));
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
}

bool TFormLink::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            RunGuarded(this, [this] { FormKeyDown(Qt::Key_F1); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormLink::FormKeyDown(int key)
{
    if (key == Qt::Key_F1) m_logic.HelpKey();
}

} // namespace velmora
