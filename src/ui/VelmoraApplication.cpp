#include "ui/VelmoraApplication.h"

#include <QWidget>

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorBox(activeWindow(), QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorBox(activeWindow(), QStringLiteral("Unbekannter Fehler"));
    }
    return false;
}

} // namespace velmora
