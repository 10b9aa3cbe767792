#include "app/AppWindows.h"

#include "app/unlockpas.h"
#include "folders/UnitFolder.h"
#include "info/Reabout.h"
#include "info/UnitStartscreen.h"
#include "shortcut/UnitLink.h"
#include "ziptool/UnitZip.h"

#include <QUrl>

namespace velmora {

AppWindows::~AppWindows() = default;

namespace {
template <typename Window>
Window* Create(AppWindows& windows, const char* className, AppContext context, QWidget* owner)
{
    auto* window = new Window(context, owner);
    windows.creationOrder.push_back(QLatin1String(className));
    return window;
}
} // namespace

std::unique_ptr<AppWindows> CreateAppWindows(AppContext context)
{
    auto windows = std::make_unique<AppWindows>();
    windows->FormLock = std::make_unique<TFormLock>(context);
    windows->creationOrder.push_back(QStringLiteral("TFormLock"));
    QWidget* owner = windows->FormLock.get();
    windows->FormFolder = Create<TFormFolder>(*windows, "TFormFolder", context, owner);
    windows->FormZip = Create<TFormZip>(*windows, "TFormZip", context, owner);
    windows->FormLink = Create<TFormLink>(*windows, "TFormLink", context, owner);
    windows->AboutBox = Create<TAboutBox>(*windows, "TAboutBox", context, owner);
    windows->FormFreeware = Create<TFormFreeware>(*windows, "TFormFreeware", context, owner);

    TFormZip* zip = windows->FormZip;
    windows->FormFolder->SetZipHandOff(
        [zip](const std::optional<QString>& folder, std::int32_t language) { zip->ShowForFolder(folder, language); });
    windows->FormLock->SetWindows(windows->FormFolder, windows->FormLink, windows->AboutBox, windows->FormFreeware);
    return windows;
}

QString FileArgument(const QStringList& arguments)
{
    QStringList rest = arguments.mid(1);
    if (!rest.isEmpty() && rest.front() == QStringLiteral("--")) rest.removeFirst();
    if (rest.isEmpty()) return QString();
    const QString first = rest.front();
    if (first.startsWith(QStringLiteral("file:"))) return QUrl(first).toLocalFile();
    return first;
}

} // namespace velmora
