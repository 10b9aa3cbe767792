#pragma once
// A panel that paints a vertical colour gradient, optionally in a fixed number of bands.
#include <QColor>
#include <QWidget>

namespace velmora {

class GradientPanel : public QWidget {
public:
    GradientPanel(QColor top, QColor bottom, int steps, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_top;
    QColor m_bottom;
    int m_steps; // 0 = smooth
};

} // namespace velmora
