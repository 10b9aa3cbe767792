#pragma once
// Creates the program's six windows once, in their fixed order, and wires them.
#include "ui/AppContext.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace velmora {

class TFormLock;
class TFormFolder;
class TFormZip;
class TFormLink;
class TAboutBox;
class TFormFreeware;

struct AppWindows {
    // The main window owns the others (they are its children), so it goes last.
    std::unique_ptr<TFormLock> FormLock;
    TFormFolder* FormFolder = nullptr;
    TFormZip* FormZip = nullptr;
    TFormLink* FormLink = nullptr;
    TAboutBox* AboutBox = nullptr;
    TFormFreeware* FormFreeware = nullptr;
    // Class names in the order the windows were created.
    QStringList creationOrder;

    ~AppWindows();
};

std::unique_ptr<AppWindows> CreateAppWindows(AppContext context);

// The file named on the command line (after the program name; "--" may stand before it,
// a file: URL is taken as its local path); empty when none is named.
QString FileArgument(const QStringList& arguments);

} // namespace velmora
