// The desktop module: the Qt-backed desktop services as a loadable module, for a program
// that starts without Qt and loads them the first time it needs them.
#include "platform/posix/QtDesktopServices.h"

#include <QCoreApplication>

#include <cstring>

// Returns the services, or null when the caller was built from another version (a
// module left behind by an older installation). The caller owns the result.
extern "C" __attribute__((visibility("default"))) velmora::DesktopServices*
VelmoraDesktopServices(const char* callerVersion)
{
    if (callerVersion == nullptr || std::strcmp(callerVersion, VELMORA_VERSION_TEXT) != 0) return nullptr;
    // Qt's MIME database and D-Bus want an application object. It lives until the
    // process ends: Qt must not be torn down while the caller may still use the services.
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "velmora";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* application = new QCoreApplication(argc, argv);
        (void)application;
    }
    return velmora::CreateQtDesktopServices().release();
}
