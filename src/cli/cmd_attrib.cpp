#include "cli/CliCommand.h"

namespace velmora::cli {

int RunAttrib(const std::vector<std::string>& /*args*/, CliContext& context)
{
    return NotAvailableYet("attrib", context);
}

} // namespace velmora::cli
