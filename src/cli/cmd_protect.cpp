#include "cli/CliCommand.h"

namespace velmora::cli {

int RunProtect(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("protect", context);
}

} // namespace velmora::cli
