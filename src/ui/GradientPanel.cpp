#include "ui/GradientPanel.h"

#include <QLinearGradient>
#include <QPainter>

namespace velmora {

GradientPanel::GradientPanel(QColor top, QColor bottom, int steps, QWidget* parent)
    : QWidget(parent), m_top(top), m_bottom(bottom), m_steps(steps)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int h = height();
    if (m_steps <= 0 || h <= 0) {
        QLinearGradient gradient(0, 0, 0, h);
        gradient.setColorAt(0, m_top);
        gradient.setColorAt(1, m_bottom);
        painter.fillRect(rect(), gradient);
        return;
    }
    for (int i = 0; i < m_steps; ++i) {
        const int y0 = i * h / m_steps;
        const int y1 = (i + 1) * h / m_steps;
        const double t = m_steps == 1 ? 0.0 : static_cast<double>(i) / (m_steps - 1);
        const QColor c(qRound(m_top.red() + (m_bottom.red() - m_top.red()) * t),
                       qRound(m_top.green() + (m_bottom.green() - m_top.green()) * t),
                       qRound(m_top.blue() + (m_bottom.blue() - m_top.blue()) * t));
        painter.fillRect(0, y0, width(), y1 - y0, c);
    }
}

} // namespace velmora
