#include "info/UnitStartscreen.h"

#include "info/InfoTexts.h"
#include "info/ProductLinks.h"
#include "info/StartProgress.h"
#include "ui/GradientPanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSvgRenderer>

namespace velmora {

namespace {
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 180;
constexpr int kCornerDiameter = 40;
constexpr std::chrono::milliseconds kTickInterval{60};
constexpr std::chrono::milliseconds kFinalWait{700};

QFont PixelFont(const QStringList& families, int pixels, bool underline = false)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setUnderline(underline);
    return font;
}

QStringList ArialFamilies()
{
    return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
}
QStringList GothicFamilies()
{
    return {QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"), QStringLiteral("TeX Gyre Adventor"),
            QStringLiteral("DejaVu Sans")};
}

// The dark background picture, tiled from the top-left corner.
class Wallpaper : public QWidget {
public:
    explicit Wallpaper(QWidget* parent) : QWidget(parent)
    {
        QSvgRenderer renderer(QStringLiteral(":/info/startscreen.svg"));
        const QSize size = renderer.isValid() ? renderer.defaultSize() : QSize(kClientWidth, 191);
        m_picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_picture.fill(QColor(32, 32, 40));
        QPainter painter(&m_picture);
        if (renderer.isValid()) renderer.render(&painter);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawTiledPixmap(rect(), QPixmap::fromImage(m_picture));
    }

private:
    QImage m_picture;
};

// The bar's frame: a white-to-grey gradient with a soft outer and a lowered inner bevel.
class ProgressFrame : public QFrame {
public:
    explicit ProgressFrame(QWidget* parent) : QFrame(parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, QColor(147, 147, 147));
        painter.fillRect(rect(), gradient);
        const QRect outer = rect().adjusted(0, 0, -1, -1);
        painter.setPen(QColor(255, 255, 255, 200));
        painter.drawLine(outer.topLeft(), outer.topRight());
        painter.drawLine(outer.topLeft(), outer.bottomLeft());
        painter.setPen(QColor(90, 90, 90, 200));
        painter.drawLine(outer.bottomLeft(), outer.bottomRight());
        painter.drawLine(outer.topRight(), outer.bottomRight());
        const QRect inner = outer.adjusted(1, 1, -1, -1);
        painter.setPen(QColor(110, 110, 110));
        painter.drawLine(inner.topLeft(), inner.topRight());
        painter.drawLine(inner.topLeft(), inner.bottomLeft());
        painter.setPen(QColor(235, 235, 235));
        painter.drawLine(inner.bottomLeft(), inner.bottomRight());
        painter.drawLine(inner.topRight(), inner.bottomRight());
    }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, const QFont& font)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}
} // namespace

TFormFreeware::TFormFreeware(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormFreeware"));
    // A splash window without title bar or system buttons; window systems that draw
    // shadows for splash windows give it one.
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFixedSize(kClientWidth, kClientHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(palette);
    setAutoFillBackground(true);

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, kClientWidth, kClientHeight);
    Panel2->setFont(PixelFont(ArialFamilies(), 12));

    JvFormWallpaper1 = new Wallpaper(Panel2);
    JvFormWallpaper1->setObjectName(QStringLiteral("JvFormWallpaper1"));
    JvFormWallpaper1->setGeometry(Panel2->rect());

    LabelTitle = MakeLabel(Panel2, "LabelTitle", QRect(1, 58, 340, 37), PixelFont(GothicFamilies(), 21));
    Label2 = MakeLabel(Panel2, "Label2", QRect(1, 88, 340, 21), PixelFont(ArialFamilies(), 15));
    Label2->setText(QString::fromLatin1(kFreewareText));
    Label3 = MakeLabel(Panel2, "Label3", QRect(0, 108, 340, 16), PixelFont(ArialFamilies(), 13, true));
    // The host name is a link: the hand cursor shows while the mouse is over it.
    Label3->setCursor(Qt::PointingHandCursor);

    Panel1 = new ProgressFrame(Panel2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(52, 132, kProgressFrameWidth, 18);
    Balken = new GradientPanel(QColor(255, 217, 255), QColor(94, 0, 47), 20, Panel1);
    Balken->setObjectName(QStringLiteral("Balken"));
    Balken->setGeometry(2, 2, 1, 14);

    // Never seen: it lies outside the visible area; the last tick runs its handler.
    BitBtn1 = new QPushButton(QString::fromLatin1(kStartButtonText), Panel2);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(89, 196, 121, 18);
    BitBtn1->setEnabled(false);
    BitBtn1->setVisible(false);
    BitBtn1->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &TFormFreeware::BitBtn1Click);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(static_cast<int>(m_context.waiter.TimerInterval(kTickInterval).count()));
    connect(Timer2, &QTimer::timeout, this, &TFormFreeware::Timer2Timer);

    // Rounded corners: the window is cut to a rounded rectangle.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, kClientWidth, kClientHeight), kCornerDiameter / 2.0, kCornerDiameter / 2.0);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));

    // Keyboard preview: the screen sees each key before the control that has the focus.
    // The same filter sees the clicks on the host name.
    qApp->installEventFilter(this);
}

TFormFreeware::~TFormFreeware()
{
    qApp->removeEventFilter(this);
}

void TFormFreeware::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    FormShow();
}

void TFormFreeware::FormShow()
{
    m_step = 0;
    m_finishing = false;
    Label3->setText(QString::fromStdString(HostName(Pick(Language, kProductPage))));
    // Also started here, not only on activation: a window system that never activates
    // a splash window must not keep the start-up waiting for ever.
    FormActivate();
}

void TFormFreeware::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TFormFreeware::FormActivate()
{
    if (!m_finishing && !Timer2->isActive()) Timer2->start();
}

void TFormFreeware::Timer2Timer()
{
    if (m_finishing) return;
    if (NextProgressTick(m_step) == ProgressTick::Draw) {
        ShowProgress(m_step);
        return;
    }
    // The full bar is never drawn: the last drawn step stays on screen for a moment.
    Timer2->stop();
    m_finishing = true;
    QTimer::singleShot(m_context.waiter.TimerInterval(kFinalWait), this, &TFormFreeware::BitBtn1Click);
}

void TFormFreeware::ShowProgress(int step)
{
    Balken->resize(ProgressBarWidth(step, Panel1->width()), Balken->height());
    Balken->update();
}

void TFormFreeware::BitBtn1Click()
{
    Timer2->stop();
    m_closingBySelf = true;
    done(QDialog::Accepted);
    m_closingBySelf = false;
}

void TFormFreeware::reject()
{
    if (m_closingBySelf) QDialog::reject();
}

void TFormFreeware::closeEvent(QCloseEvent* event)
{
    // The window system's close command (Alt+F4 among others) does not end the screen early.
    if (m_closingBySelf) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

bool TFormFreeware::FormKeyDown(int key)
{
    // F4 is swallowed with any modifier, so Alt+F4 cannot close the screen either.
    return key == Qt::Key_F4;
}

void TFormFreeware::Label3Click()
{
    OpenLink(QStringLiteral("https://") + Label3->text());
}

void TFormFreeware::OpenLink(const QString& url)
{
    m_context.platform.shell->OpenUrl(url.toStdString());
}

bool TFormFreeware::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this && FormKeyDown(static_cast<QKeyEvent*>(event)->key())) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (watched == Label3) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && Label3->rect().contains(mouse->position().toPoint())) {
                Label3Click();
            }
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velmora
