#include "info/Reabout.h"

#include "info/InfoTexts.h"
#include "ui/GradientPanel.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QSvgRenderer>

namespace velmora {

namespace {
QFont PixelFont(const QStringList& families, int pixels)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

QFont ArialFont(int pixels)
{
    return PixelFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
                     pixels);
}

QPixmap RenderPicture(const QString& resource, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(0, 0), renderer.defaultSize()));
    }
    return QPixmap::fromImage(image);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, const QFont& font, Qt::Alignment align)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAlignment(align);
    label->setAttribute(Qt::WA_TranslucentBackground);
    if (place.width() > 0) {
        label->setGeometry(place);
        label->setProperty("fixedBox", true);
    } else {
        label->move(place.topLeft());
    }
    return label;
}

// A picture that acts as a link.
QLabel* MakePicture(QWidget* parent, const char* name, const QRect& place, const QString& resource, Qt::Alignment align)
{
    auto* picture = MakeLabel(parent, name, place, QFont(), align);
    picture->setPixmap(RenderPicture(resource, place.size()));
    picture->setCursor(Qt::PointingHandCursor);
    return picture;
}
} // namespace

TAboutBox::TAboutBox(AppContext context, QWidget* parent)
    : QDialog(parent), m_context(context), m_logic(context.platform, m_view, *this)
{
    setObjectName(QString::fromLatin1(AboutLogic::kWindow));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(286, 338);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(226, 226, 226));
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(rect());

    JvGradient7 = new GradientPanel(QColor(245, 241, 238), QColor(170, 170, 170), 200, Panel1);
    JvGradient7->setObjectName(QStringLiteral("JvGradient7"));
    JvGradient7->setGeometry(1, 1, 280, 332);

    const QStringList gothic{QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"),
                             QStringLiteral("TeX Gyre Adventor"), QStringLiteral("DejaVu Sans")};
    Image2 = MakePicture(Panel1, "Image2", QRect(5, 0, 272, 87), QStringLiteral(":/info/logo.svg"), Qt::AlignCenter);
    Label1 = MakeLabel(Panel1, "Label1", QRect(5, 91, 272, 30), PixelFont(gothic, 21), Qt::AlignHCenter | Qt::AlignTop);
    Label1->setText(QString::fromLatin1(kProductName));
    LabelRelease = MakeLabel(Panel1, "LabelRelease", QRect(91, 121, 0, 0), ArialFont(12), Qt::AlignLeft);
    LabelRelease->setText(QString::fromLatin1(kReleaseLabel));
    LabelRelease->adjustSize();
    LabelVersion = MakeLabel(Panel1, "LabelVersion", QRect(144, 121, 0, 0), ArialFont(12), Qt::AlignLeft);
    LabelVersion->setText(QString::fromLatin1(kAboutReleaseText));
    LabelVersion->adjustSize();
    Label6 = MakeLabel(Panel1, "Label6", QRect(8, 163, 240, 15), ArialFont(12), Qt::AlignHCenter | Qt::AlignTop);
    Label6->setText(QString::fromLatin1(kFreewareText));

    QFont linkFont = ArialFont(12);
    linkFont.setUnderline(true);
    Label5 = MakeLabel(Panel1, "Label5", QRect(5, 182, 252, 15), linkFont, Qt::AlignHCenter | Qt::AlignTop);
    QPalette linkPalette = Label5->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    Label5->setPalette(linkPalette);
    Label5->setCursor(Qt::PointingHandCursor);

    Image1 = MakePicture(Panel1, "Image1", QRect(51, 207, 152, 58), QStringLiteral(":/info/donate-en.svg"),
                         Qt::AlignLeft | Qt::AlignTop);
    Image3 = MakePicture(Panel1, "Image3", QRect(76, 207, 104, 51), QStringLiteral(":/info/donate-de.svg"),
                         Qt::AlignLeft | Qt::AlignTop);

    Panel3 = new QFrame(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel3->setGeometry(32, 281, 200, 30);
    auto* layout = new QHBoxLayout(Panel3);
    layout->setContentsMargins(1, 1, 1, 1);
    ButtonClose = new QPushButton(QString::fromLatin1(kAboutCloseText), Panel3);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setFlat(true);
    layout->addWidget(ButtonClose);
    connect(ButtonClose, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });

    for (QLabel* link : {Image2, Label5, Image1, Image3})
        link->installEventFilter(this);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // The first showing is centred over the main window; later ones keep the place
    // the main window gave the box.
    if (!m_shownBefore && parentWidget() != nullptr) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - QPoint(width() / 2, height() / 2));
    }
    m_shownBefore = true;
    FormShow();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint())) {
            if (watched == Label5 || watched == Image2) {
                Label5Click();
                return true;
            }
            if (watched == Image1 || watched == Image3) {
                Image1Click();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velmora
