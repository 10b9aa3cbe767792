#pragma once
// Everything the main window shows about one path, gathered through the platform.
#include "common/DateTime.h"
#include "common/DateTimeText.h"
#include "common/Result.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

struct InspectedFile {
    std::string path;
    std::string extension; // with its leading ".", case as in the path; "" when none
    bool inUse = false;

    // The program the desktop would start, its full path ("" when the lookup gave none),
    // and how the lookup ended (a code above 32 is success; 2, 3 and 11 are reported).
    std::string userChoiceApplication;
    int lookupCode = 0;
    std::string lookupFile;   // the file name the lookup was asked about
    std::string lookupFolder; // its folder part

    std::string defaultApplicationName; // "undefined" when nothing is found

    std::uint64_t sizeBytes = 0;
    std::string sizeNumber;
    std::string sizeUnit;

    TDateTime modified = 0;   // 0 for folders and missing paths
    TDateTime lastAccess = 0; // through the MS-DOS value: even seconds
    std::string modifiedText;
    std::string lastAccessText;

    std::optional<std::uint32_t> attributes; // nothing when they cannot be read
    bool archive = false;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
};

// The result of the executable lookup for a path, with the rules around the platform
// call: a blank path asks nothing and gives an empty result. An Error when the lookup
// runs out of resources (code 0).
struct AssociatedExecutable {
    int code = 0;
    std::string executable;
    std::string file;
    std::string folder;
    bool asked = false;
};
Result<AssociatedExecutable> FindAssociatedExecutable(const std::string& path, Platform& platform);

// The raw command for an extension (without its dot) from the user's list or the
// system's, as the product name decides, cleaned to the program's path or name.
std::string ReadDefaultCommand(const std::string& extensionWithoutDot, Platform& platform);

// The last access time as shown: local time passed through the MS-DOS value; the zero
// date when nothing is known or the value cannot hold the year.
TDateTime LastAccessThroughDos(std::optional<TDateTime> local);

// Gathers the record. Needs the platform's environment, attributes, times, usage,
// associations and locale formats. An Error when the lookup runs out of resources
// (code 0).
Result<InspectedFile> GatherInspection(const std::string& path, Platform& platform);

} // namespace velmora
