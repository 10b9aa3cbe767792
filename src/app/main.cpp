// Program entry: create the windows once, show the main window, run the message loop.
#include "app/AppWindows.h"
#include "app/unlockpas.h"
#include "common/Waiter.h"
#include "platform/Platform.h"
#include "ui/Icons.h"
#include "ui/VelmoraApplication.h"

int main(int argc, char** argv)
{
    velmora::VelmoraApplication app(argc, argv);
    velmora::VelmoraApplication::setApplicationName(QStringLiteral("Velmora"));
    velmora::VelmoraApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION_TEXT));
    velmora::VelmoraApplication::setQuitOnLastWindowClosed(true);
    velmora::PrepareIconTheme();

    const std::unique_ptr<velmora::PlatformBackend> backend = velmora::CreateNativePlatform();
    velmora::RealWaiter waiter;
    const std::unique_ptr<velmora::AppWindows> windows = velmora::CreateAppWindows({backend->Services(), waiter});
    windows->FormLock->show();
    // "velmora FILE" (as a file manager's "Open With" starts it) shows the file after the
    // start-up sequence, exactly as a drop of it would.
    if (const QString file = velmora::FileArgument(velmora::VelmoraApplication::arguments()); !file.isEmpty()) {
        velmora::RunGuarded(windows->FormLock.get(), [&] { windows->FormLock->WMDropFiles({file}); });
    }
    return velmora::VelmoraApplication::exec();
}
