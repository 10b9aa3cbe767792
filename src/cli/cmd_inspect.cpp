#include "cli/CliCommand.h"

namespace velmora::cli {

int RunInspect(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("inspect", context);
}

} // namespace velmora::cli
