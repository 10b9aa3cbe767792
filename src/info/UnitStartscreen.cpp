#include "info/UnitStartscreen.h"

#include <QTimer>

namespace velmora {

TFormFreeware::TFormFreeware(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormFreeware"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(340, 180);
    LabelTitle = new QLabel(this);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));
    LabelTitle->move(20, 20);
}

void TFormFreeware::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const auto delay = m_context.waiter.TimerInterval(std::chrono::milliseconds(1500));
    QTimer::singleShot(static_cast<int>(delay.count()), this, &QDialog::accept);
}

} // namespace velmora
