#include "win32ui/Dialogs.h"

#include <commdlg.h>
#include <shobjidl.h>

#include <algorithm>

namespace velmora::win32ui {

std::vector<std::string> ChooseFoldersDialog(HWND owner, const std::string& caption, const std::string& start,
                                             bool multiple)
{
    std::vector<std::string> chosen;
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog)))) {
        return chosen;
    }
    DWORD options = 0;
    dialog->GetOptions(&options);
    options |= FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
    if (multiple) options |= FOS_ALLOWMULTISELECT;
    dialog->SetOptions(options);
    dialog->SetTitle(Wide(caption).c_str());
    if (!start.empty()) {
        IShellItem* folder = nullptr;
        if (SUCCEEDED(SHCreateItemFromParsingName(Wide(start).c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(&folder)))) {
            dialog->SetFolder(folder);
            folder->Release();
        }
    }
    IShellItemArray* items = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResults(&items))) {
        DWORD count = 0;
        items->GetCount(&count);
        for (DWORD i = 0; i < count; ++i) {
            IShellItem* item = nullptr;
            PWSTR path = nullptr;
            if (SUCCEEDED(items->GetItemAt(i, &item)) && SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
                chosen.push_back(Utf8(path));
                CoTaskMemFree(path);
            }
            if (item != nullptr) item->Release();
        }
        items->Release();
    }
    dialog->Release();
    return chosen;
}

std::optional<std::string> ChooseFileDialog(HWND owner, const std::string& caption, const std::string& initial,
                                            bool save)
{
    std::wstring buffer(32768, L'\0');
    const std::wstring start = Wide(initial);
    const std::wstring title = Wide(caption);
    // A path ending in a separator names the folder to start in; otherwise the file.
    std::wstring folder;
    if (!start.empty() && (start.back() == L'\\' || start.back() == L'/')) {
        folder = start;
    } else {
        start.copy(buffer.data(), std::min(start.size(), buffer.size() - 1));
    }
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!save) dialog.Flags |= OFN_FILEMUSTEXIST;
    const BOOL ok = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!ok) return std::nullopt;
    buffer.resize(wcslen(buffer.c_str()));
    return Utf8(buffer);
}

} // namespace velmora::win32ui
