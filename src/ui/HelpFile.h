#pragma once
// Where a window finds its help file: the language's page beside the running program or
// in the installed data folder.
#include "common/LanguageText.h"
#include "common/Utf8Path.h"
#include "platform/IEnvironment.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace velmora {

// Help files per language, in the program folder.
inline constexpr TextPair kHelpFileName{"tessalye.html", "tessalyd.html"};

// The help file of the language: in the program folder, or where an installation puts it
// (<prefix>/share/velmora/help beside <prefix>/bin); the program folder when neither has it.
inline std::string HelpFilePath(const IEnvironment& environment, std::int32_t language)
{
    const std::string folder = environment.Paths().FolderWithSeparator(environment.ProgramFilePath());
    const std::string beside = folder + Pick(language, kHelpFileName);
    std::error_code ec;
    if (std::filesystem::exists(PathFromUtf8(beside), ec)) return beside;
    const std::filesystem::path installed = (PathFromUtf8(folder) / u8".." / u8"share" / u8"velmora" / u8"help" /
                                             PathFromUtf8(Pick(language, kHelpFileName)))
                                                .lexically_normal();
    if (std::filesystem::exists(installed, ec)) return Utf8FromPath(installed);
    return beside;
}

} // namespace velmora
