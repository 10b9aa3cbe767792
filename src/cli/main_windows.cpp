// velmora-cli.exe: the command-line companion on Windows. The command line is read wide
// and handed on as UTF-8; the console shows UTF-8.
#include "cli/CliCommand.h"
#include "platform/win32/WinText.h"

// windows.h first: the Windows headers below need its types.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <io.h>
#include <iostream>

int main()
{
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) {
        args.push_back(velmora::win32::Narrow(wide[i]));
    }
    LocalFree(wide);
    const std::unique_ptr<velmora::PlatformBackend> backend = velmora::CreateNativePlatform();
    velmora::cli::CliContext context{backend->Services(), std::cout, std::cerr, _isatty(_fileno(stderr)) != 0};
    const int code = velmora::cli::RunCli(args, context);
    std::cout.flush();
    std::cerr.flush();
    return code;
}
