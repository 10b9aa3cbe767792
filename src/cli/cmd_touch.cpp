#include "cli/CliCommand.h"

namespace velmora::cli {

int RunTouch(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("touch", context);
}

} // namespace velmora::cli
