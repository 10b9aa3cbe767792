#include "archive/UnitZip.h"

namespace velmora {

TFormZip::TFormZip(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormZip"));
    setWindowTitle(QStringLiteral("Velmora"));
}

} // namespace velmora
