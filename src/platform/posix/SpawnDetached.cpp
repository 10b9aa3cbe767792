#include "platform/posix/SpawnDetached.h"

#include "common/RetryOnInterrupt.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {

bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments)
{
    if (program.empty()) return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // A pipe with close-on-exec tells whether exec succeeded: it closes silently on
    // success, and the child writes its errno into it on failure.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;

    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        close(pipeFds[0]);
        // The middle process exits at once, so the program is not our child and
        // leaves no zombie behind.
        setsid();
        const pid_t grandChild = fork();
        if (grandChild != 0) _exit(grandChild < 0 ? 127 : 0);
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
            if (devNull > 2) close(devNull);
        }
        signal(SIGPIPE, SIG_DFL);
        if (program.find('/') != std::string::npos) {
            execv(program.c_str(), argv.data());
        } else {
            execvp(program.c_str(), argv.data());
        }
        const int err = errno;
        (void)!write(pipeFds[1], &err, sizeof err);
        _exit(127);
    }
    close(pipeFds[1]);
    int status = 0;
    RetryOnInterrupt([&] { return waitpid(child, &status, 0); });
    int childErr = 0;
    const ssize_t n = RetryOnInterrupt([&] { return read(pipeFds[0], &childErr, sizeof childErr); });
    close(pipeFds[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

} // namespace velmora
