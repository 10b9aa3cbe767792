#include "cli/CliCommand.h"

namespace velmora::cli {

int RunTerminate(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("terminate", context);
}

} // namespace velmora::cli
