#include "ziptool/UnitZip.h"

#include "archive/gzip/GzipReader.h"
#include "archive/zip/ZipTexts.h"
#include "common/Utf8Path.h"
#include "ui/ButtonPanel.h"
#include "ui/Fonts.h"
#include "ui/GradientPanel.h"
#include "ui/Icons.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>

#include <algorithm>

namespace velmora {

namespace {
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

} // namespace

TFormZip::TFormZip(AppContext context, QWidget* parent)
    : QDialog(parent), m_context(context), m_logic(context.platform, m_view, *this)
{
    setObjectName(QString::fromLatin1(ZipToolLogic::kWindow));
    setFixedSize(492, 198);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF2, 0xEE, 0xEB));
    setPalette(palette);
    setFont(ArialFont(8));
    BuildControls();
    EditPass->setText(QString::fromLatin1(ZipTexts::kDefaultPassword));
    m_logic.EditPassChange();
    m_logic.ApplyLanguage();
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
    if (m_logic.IsBusy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFormZip::reject()
{
    if (!m_logic.IsBusy()) QDialog::reject();
}

bool TFormZip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ToolButtonZip && event->type() == QEvent::Enter) ToolButtonZipMouseEnter();
    return QDialog::eventFilter(watched, event);
}

void TFormZip::FormKeyDown(int key)
{
    if (key == Qt::Key_F1) m_logic.HelpKey();
}

void TFormZip::ShowForFolder(const std::optional<QString>& folder, std::int32_t language)
{
    std::optional<std::string> path;
    if (folder) path = folder->toStdString();
    m_logic.ForFolder(path, language);
    exec();
}

std::optional<std::string> TFormZip::ChooseFolder(const std::string& caption, const std::string& start)
{
    // Linux has one tree: the root stands for "all drives".
    const QString from = start.empty() ? QStringLiteral("/") : QString::fromStdString(start);
    const std::optional<QString> chosen = ShowFolderDialog(this, QString::fromStdString(caption), from, true);
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
}

std::optional<std::string> TFormZip::ChooseArchive(const std::string& caption, const std::string& initial)
{
    const QString from = initial.empty() ? QStringLiteral("/") : QString::fromStdString(initial);
    const std::optional<QString> chosen = ShowOpenFileDialog(this, QString::fromStdString(caption), from);
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
}

void TFormZip::SetZipImage(int imageIndex)
{
    ToolButtonZip->setIcon(QIcon(imageIndex == ZipToolLogic::kProtectImage ? QStringLiteral(":/archive/protect.svg")
                                                                           : QStringLiteral(":/archive/zip.svg")));
    ToolButtonZip->setProperty("imageIndex", imageIndex);
}

bool TFormZip::GUnzipToFile(const QString& filename)
{
    return velmora::GUnzipToFile(PathFromUtf8(filename.toStdString())).outcome.has_value();
}

void TFormZip::SetProgress(int value)
{
    ProgressBar->setValue(value);
}

void TFormZip::StartWork(ZipToolWork work)
{
    if (m_worker.joinable()) m_worker.join();
    m_worker = std::thread([this, work = std::move(work)]() {
        int lastValue = -1;
        const auto progress = [this, &lastValue](std::uint64_t value, std::uint64_t total) {
            const int scaled = total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(value, total) * 1000 / total);
            if (scaled == lastValue) return;
            lastValue = scaled;
            QMetaObject::invokeMethod(
                this, [this, scaled] { ProgressBar->setValue(scaled); }, Qt::QueuedConnection);
        };
        const ZipToolOutcome outcome = work(progress);
        QMetaObject::invokeMethod(
            this,
            [this, outcome] {
                if (m_worker.joinable()) m_worker.join();
                m_logic.WorkEnded(outcome);
            },
            Qt::QueuedConnection);
    });
}

} // namespace velmora
