#include "cli/CliCommand.h"

namespace velmora::cli {

int RunLnk(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("lnk", context);
}

} // namespace velmora::cli
