#pragma once
// What `velmora-cli unzip` says after an extraction: the damage of the archive that was
// tolerated, the real cause of each entry that failed or was skipped, and how many files
// were extracted. (The window keeps the system's one message for every failure.)
#include "archive/zip/ZipReader.h"
#include "cli/CliCommand.h"

#include <string>

namespace velmora::cli {

// The cause of one entry's failure as the user should read it, from the reader's text
// and what the central directory says about the entry (method, flags).
std::string ExplainEntryFailure(const ZipEntryInfo* entry, const std::string& readerText);

// Prints the report on context.err and returns the exit code.
int ReportExtraction(const std::string& command, const std::filesystem::path& archive, const ZipExtractResult& result,
                     CliContext& context);

} // namespace velmora::cli
