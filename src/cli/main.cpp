// velmora-cli: the command-line companion.
#include "cli/CliCommand.h"

#include <QCoreApplication>

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    // Qt's MIME database and D-Bus need an application object; nothing here shows a window.
    QCoreApplication app(argc, argv);
    const std::unique_ptr<velmora::PlatformBackend> backend = velmora::CreateNativePlatform();
    velmora::cli::CliContext context{backend->Services(), std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
    const std::vector<std::string> args(argv + 1, argv + argc);
    return velmora::cli::RunCli(args, context);
}
