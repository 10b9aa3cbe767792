#include "cli/CliCommand.h"

namespace velmora::cli {

int RunUnzip(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("unzip", context);
}

} // namespace velmora::cli
