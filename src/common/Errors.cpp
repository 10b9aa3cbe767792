#include "common/Errors.h"

#include "common/QuotedName.h"

#include <system_error>

namespace velmora {

std::string SystemErrorText(const std::string& operation, const std::string& path, int err)
{
    std::string text = operation;
    if (!path.empty()) text += " " + QuotedInText(path);
    if (err != 0) text += ": " + std::generic_category().message(err);
    return text;
}

} // namespace velmora
