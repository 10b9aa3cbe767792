#include "cli/CliCommand.h"

namespace velmora::cli {

int RunFolderDate(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("folder-date", context);
}

} // namespace velmora::cli
