#pragma once
// Deleting a folder for good, through held folders (platform/FolderHandle.h).
#include "common/Result.h"

#include <filesystem>
#include <string>

namespace velmora {

// Deletes a folder with everything in it; links are removed, never followed, and every
// folder is entered through its open handle, so a subfolder replaced by a link part way
// loses the link, never what it points to. Nothing goes to a trash. Succeeds when the
// folder is gone afterwards; else the Error says why.
Result<void> DeleteFolderPermanently(const std::filesystem::path& folder);

} // namespace velmora
