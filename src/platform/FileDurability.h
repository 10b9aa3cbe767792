#pragma once
// Making written data survive a power failure before anything it replaces is removed.
// Declared here for every part of the program (the core too); each system's
// implementation is built into the small velmora_files library.
#include "common/Result.h"

#include <string>
#include <string_view>

namespace velmora {

// Flushes a file's data, or a folder's entries, to the storage device. True on success.
bool FlushToDisk(const std::string& path);

// Replaces the file at path by bytes so that it holds either its old or its new content,
// whatever happens: the bytes go to a temporary file of a name of its own beside it,
// which is flushed to disk and then renamed over the old file (a link at path is
// replaced, not followed). An existing file keeps its permissions; a new one gets the
// default ones. On failure the Error names the path and the system's error; the temporary
// file is removed then and the old file is untouched.
Result<void> ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// Renames from to to, replacing an existing file, and returns only once the rename is on
// the disk where the system offers that (Windows: MOVEFILE_WRITE_THROUGH; Linux: rename(2),
// made durable by flushing the folder afterwards). True on success.
bool MoveReplacing(const std::string& from, const std::string& to);

} // namespace velmora
