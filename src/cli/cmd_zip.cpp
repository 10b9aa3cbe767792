#include "cli/CliCommand.h"

namespace velmora::cli {

int RunZip(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("zip", context);
}

} // namespace velmora::cli
