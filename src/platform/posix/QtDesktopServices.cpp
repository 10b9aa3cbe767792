#include "platform/posix/QtDesktopServices.h"

#include "platform/posix/PosixAssociations.h"
#include "platform/posix/PosixLocaleFormats.h"
#include "platform/posix/PosixShell.h"

namespace velmora {

namespace {
class QtDesktopServices final : public DesktopServices {
public:
    IShell& Shell() override { return m_shell; }
    IAssociations& Associations() override { return m_associations; }
    ILocaleFormats& LocaleFormats() override { return m_localeFormats; }

private:
    PosixShell m_shell;
    PosixAssociations m_associations;
    PosixLocaleFormats m_localeFormats;
};
} // namespace

std::unique_ptr<DesktopServices> CreateQtDesktopServices()
{
    return std::make_unique<QtDesktopServices>();
}

} // namespace velmora
