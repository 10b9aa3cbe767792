// velmora-cli: the command-line companion.
#include "cli/CliCommand.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    // No Qt here: the desktop services (MIME types, locale formats) are loaded the first
    // time a command asks for them.
    const std::unique_ptr<velmora::PlatformBackend> backend = velmora::CreateNativePlatform();
    velmora::cli::CliContext context{backend->Services(), std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
    const std::vector<std::string> args(argv + 1, argv + argc);
    return velmora::cli::RunCli(args, context);
}
