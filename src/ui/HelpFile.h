#pragma once
// Where a window finds its help file: the language's page beside the running program.
#include "common/LanguageText.h"
#include "platform/IEnvironment.h"

#include <cstdint>
#include <string>

namespace velmora {

// Help files per language, in the program folder.
inline constexpr TextPair kHelpFileName{"tessalye.html", "tessalyd.html"};

// The help file of the language, in the program folder.
inline std::string HelpFilePath(const IEnvironment& environment, std::int32_t language)
{
    return environment.Paths().FolderWithSeparator(environment.ProgramFilePath()) + Pick(language, kHelpFileName);
}

} // namespace velmora
