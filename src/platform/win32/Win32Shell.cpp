#include "platform/win32/Win32Shell.h"

#include "platform/win32/WinText.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <fstream>

namespace velmora {

namespace {
bool Started(HINSTANCE rc)
{
    return reinterpret_cast<std::intptr_t>(rc) > 32;
}

// One argument quoted the way programs split their command line (CommandLineToArgvW):
// backslashes double only before a quote.
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

// file:///C:/folder/name.html with every byte outside the plain set escaped.
std::string FileUrl(const std::string& path)
{
    std::string url = "file:///";
    if (path.rfind("\\\\", 0) == 0) {
        url = "file:"; // a UNC path keeps its two leading slashes
    }
    for (const unsigned char c : path) {
        if (c == '\\') {
            url += '/';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   std::string_view("-._~/:").find(static_cast<char>(c)) != std::string_view::npos) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url;
}
} // namespace

bool Win32Shell::StartHidden(const std::string& program, const std::vector<std::string>& arguments)
{
    std::wstring parameters;
    for (const std::string& argument : arguments) {
        if (!parameters.empty()) {
            parameters += L' ';
        }
        parameters += QuoteArgument(win32::Widen(argument));
    }
    return Started(ShellExecuteW(nullptr, L"open", win32::Widen(program).c_str(),
                                 parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_HIDE));
}

bool Win32Shell::OpenUrl(const std::string& url)
{
    return Started(ShellExecuteW(nullptr, L"open", win32::Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

bool Win32Shell::OpenHelp(const std::string& helpFile, int context)
{
    const std::string target = FileUrl(helpFile) + "#context-" + std::to_string(context);
    // Browsers started for a local file drop its "#section", so a tiny page in the
    // temporary folder forwards to the section instead.
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(static_cast<DWORD>(std::size(folder)), folder);
    if (n > 0 && n < std::size(folder)) {
        const std::wstring forward = std::wstring(folder) + L"velmora-help-" + std::to_wstring(context) + L".html";
        std::ofstream page(forward.c_str(), std::ios::binary | std::ios::trunc);
        page << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta http-equiv=\"refresh\" content=\"0; url="
             << target << "\"></head><body><a href=\"" << target << "\">Velmora help</a></body></html>\n";
        page.close();
        if (page) {
            return Started(ShellExecuteW(nullptr, L"open", forward.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        }
    }
    return Started(ShellExecuteW(nullptr, L"open", win32::Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

bool Win32Shell::ShowFolder(const std::string& folder)
{
    const std::wstring parameters = L" /e, \"" + win32::Widen(folder) + L"\"";
    return Started(ShellExecuteW(nullptr, L"open", L"explorer.exe", parameters.c_str(), nullptr, SW_SHOWNORMAL));
}

} // namespace velmora
