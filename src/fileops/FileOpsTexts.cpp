#include "fileops/FileOpsTexts.h"

namespace velmora {

std::string InvalidDateTimeText(std::string_view entered)
{
    return "''" + std::string(entered) + "'' ist keine gültige Datums-/Zeitangabe";
}

} // namespace velmora
