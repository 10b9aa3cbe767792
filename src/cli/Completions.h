#pragma once
// Shell completion scripts for bash, zsh and fish, made from the command definitions:
// the command names, each command's options (with the values an option takes) and what
// its arguments name (files, folders or free text).
#include <iosfwd>
#include <string_view>

namespace velmora::cli {

// Writes the script for shell ("bash", "zsh" or "fish"); false for another shell.
bool WriteCompletionScript(std::string_view shell, std::ostream& out);

} // namespace velmora::cli
