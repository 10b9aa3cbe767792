#pragma once
// The bevelled panel at the foot of a window that holds its flat close button.
#include <QPushButton>
#include <QRect>

namespace velmora {

struct ButtonPanel {
    QWidget* panel;
    QPushButton* button;
};

// Creates "PanelButton" at geometry in parent, filled by the flat button "ButtonClose".
ButtonPanel MakeButtonPanel(QWidget* parent, const QRect& geometry);

} // namespace velmora
