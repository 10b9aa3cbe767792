#include "cli/CliCommand.h"

namespace velmora::cli {

int RunGunzip(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("gunzip", context);
}

} // namespace velmora::cli
