#pragma once
// Real child processes for the termination tests: a copy of a system program under a
// name of the test's own, started directly and collected at the end.
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

// A name no other test run uses, so that parallel runs never end each other's children.
inline std::string UniqueName(const std::string& stem)
{
    std::random_device rd;
    return stem + "-" + std::to_string(getpid()) + "-" + std::to_string(rd() % 100000);
}

// At most 15 characters, the length the kernel keeps of a process's name.
inline std::string ShortUniqueName(const std::string& stem)
{
    std::random_device rd;
    return (stem + std::to_string(rd())).substr(0, 15);
}

inline std::string CopyProgram(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_all);
    return to.string();
}

class ChildProcess {
public:
    // Starts program with the arguments; stdin is inputFile when given, else /dev/null.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& inputFile = "/dev/null")
    {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, inputFile.c_str(), O_RDONLY, 0);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess()
    {
        if (m_pid > 0 && !m_collected) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Id() const { return m_pid; }
    bool Running() const { return m_pid > 0 && !m_collected && kill(m_pid, 0) == 0 && !HasEnded(); }

    // Waits up to the given time for the child to end; the signal that ended it, 0 for a
    // normal exit, -1 when it is still running.
    int WaitForEnd(std::chrono::milliseconds patience = std::chrono::seconds(20))
    {
        if (m_pid <= 0) return -1;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!m_collected && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            const pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_collected = true;
                m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            } else if (r < 0 && errno != EINTR) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return m_collected ? m_signal : -1;
    }

    // Waits up to 20 s for the child to end without collecting it, so it stays behind as
    // an ended process that its parent has not yet collected. True when it ended.
    bool WaitUntilEndedButUncollected()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HasEnded() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return HasEnded();
    }

private:
    // Ended but not yet collected.
    bool HasEnded() const
    {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_pid;
    }

    pid_t m_pid = -1;
    bool m_collected = false;
    int m_signal = 0;
};

} // namespace velmora::test
