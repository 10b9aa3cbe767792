#pragma once
// The system's file and folder dialogs, in UTF-8 paths.
#include "win32ui/Win32Ui.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora::win32ui {

// The item dialog picking folders (several when multiple); empty when cancelled.
std::vector<std::string> ChooseFoldersDialog(HWND owner, const std::string& caption, const std::string& start,
                                             bool multiple);
// The open-file dialog, or the save dialog without an overwrite question; nullopt when cancelled.
std::optional<std::string> ChooseFileDialog(HWND owner, const std::string& caption, const std::string& initial,
                                            bool save);

} // namespace velmora::win32ui
