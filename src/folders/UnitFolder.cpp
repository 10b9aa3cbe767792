#include "folders/UnitFolder.h"

namespace velmora {

TFormFolder::TFormFolder(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormFolder"));
    setWindowTitle(QStringLiteral("Velmora"));
}

} // namespace velmora
