#pragma once
// Making written data survive a power failure before anything it replaces is removed.
// Declared here for every part of the program (the core too); each system's
// implementation is built into the small velmora_files library.
#include <string>
#include <string_view>

namespace velmora {

// Flushes a file's data, or a folder's entries, to the storage device. True on success.
bool FlushToDisk(const std::string& path);

// Replaces the file at path by bytes so that it holds either its old or its new content,
// whatever happens: the bytes go to a temporary file of a name of its own beside it,
// which is flushed to disk and then renamed over the old file (a link at path is
// replaced, not followed). An existing file keeps its permissions; a new one gets the
// default ones. False on failure, with the error number in *savedErrno; the temporary
// file is removed then and the old file is untouched.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, int* savedErrno = nullptr);

} // namespace velmora
