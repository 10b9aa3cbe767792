#include "shortcut/UnitLink.h"

namespace velmora {

TFormLink::TFormLink(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormLink"));
    setWindowTitle(QStringLiteral("Velmora"));
    EditProg = new QLineEdit(this);
    EditProg->setObjectName(QStringLiteral("EditProg"));
}

} // namespace velmora
