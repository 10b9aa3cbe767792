#include "ui/ButtonPanel.h"

#include <QFrame>
#include <QHBoxLayout>

namespace velmora {

ButtonPanel MakeButtonPanel(QWidget* parent, const QRect& geometry)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QStringLiteral("PanelButton"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(geometry);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    auto* button = new QPushButton(panel);
    button->setObjectName(QStringLiteral("ButtonClose"));
    button->setFlat(true);
    button->setAutoDefault(false);
    layout->addWidget(button);
    return {panel, button};
}

} // namespace velmora
