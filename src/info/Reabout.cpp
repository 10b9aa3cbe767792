#include "info/Reabout.h"

namespace velmora {

TAboutBox::TAboutBox(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Velmora"));
}

void TAboutBox::OpenUrl(const QString& url) { m_context.platform.shell->OpenUrl(url.toStdString()); }

} // namespace velmora
