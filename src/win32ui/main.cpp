// velmora.exe: the program's windows on Win32. Creates the main window, runs the start-up
// sequence, shows a file named on the command line (as "Open with" starts the program)
// and runs the message loop.
#include "common/Waiter.h"
#include "platform/Platform.h"
#include "win32ui/MainWindow.h"

#include <objbase.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    const std::unique_ptr<velmora::PlatformBackend> backend = velmora::CreateNativePlatform();
    velmora::RealWaiter waiter;
    velmora::win32ui::MainWindow window(backend->Services(), waiter);
    window.Create();
    window.Show(showCommand);

    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    int first = 1;
    if (arguments != nullptr && count > first && std::wstring(arguments[first]) == L"--") ++first;
    if (arguments != nullptr && count > first) window.ShowFile(velmora::win32ui::Utf8(arguments[first]));
    LocalFree(arguments);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.PreviewKey(message)) continue;
        if (IsDialogMessageW(window.Handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoUninitialize();
    return static_cast<int>(message.wParam);
}
