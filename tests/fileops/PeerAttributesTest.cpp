// Attribute round trips against the real peers that share "user.DOSATTRIB" with us: a file
// server (smbd on loopback, driven by smbclient) and the Windows compatibility layer
// (wine's own attrib command). A peer that is missing or cannot start skips the test and
// says why; it never passes without checking.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

extern char** environ;

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Outcome {
    int code = -1;
    std::string out; // stdout and stderr together
};

Outcome Shell(const std::string& command)
{
    Outcome run;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe))
            run.out += buffer;
        const int status = pclose(pipe);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Cli(const std::string& arguments)
{
    return Quoted(test::BuiltCli().string()) + " " + arguments;
}

bool OnPath(const std::string& program)
{
    return Shell("command -v " + program + " >/dev/null").code == 0;
}

std::string RawAttribute(const fs::path& file)
{
    std::string value(256, '\0');
    const ssize_t n = getxattr(file.c_str(), "user.DOSATTRIB", value.data(), value.size());
    value.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return value;
}

// The set of letters among "ARHS" that appear in text.
std::string Letters(const std::string& text)
{
    std::string letters;
    for (char c : std::string("ARHS")) {
        if (text.find(c) != std::string::npos) letters += c;
    }
    return letters;
}

// The four attributes as inspect --json reports them, as letters in the order A R H S.
std::string InspectedLetters(const fs::path& file)
{
    const Outcome run = Shell(Cli("inspect --json " + Quoted(file.string())));
    std::string letters;
    const std::pair<const char*, char> fields[] = {
        {"\"archive\":true", 'A'}, {"\"readOnly\":true", 'R'}, {"\"hidden\":true", 'H'}, {"\"system\":true", 'S'}};
    for (const auto& [field, letter] : fields) {
        if (run.out.find(field) != std::string::npos) letters += letter;
    }
    return letters;
}

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool Accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// A file server on 127.0.0.1 with one guest share, every folder of its own under 'root',
// run in the foreground as our child and stopped by its pid.
class LoopbackServer {
public:
    explicit LoopbackServer(const fs::path& root) : m_root(root)
    {
        for (const char* folder : {"share", "lock", "state", "cache", "pid", "private", "ncalrpc", "log"}) {
            fs::create_directories(root / folder);
        }
        fs::permissions(root / "share", fs::perms::all);
        const passwd* user = getpwuid(geteuid());
        const std::string guest = user ? user->pw_name : "nobody";
        for (int attempt = 0; attempt < 3 && m_pid <= 0; ++attempt) {
            m_port = FreeLoopbackPort();
            WriteConfig(guest);
            Start();
        }
    }
    ~LoopbackServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            for (int i = 0; i < 100 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(50ms);
            if (waitpid(m_pid, nullptr, WNOHANG) == 0) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
            }
        }
    }
    bool Running() const { return m_pid > 0; }
    std::string Why() const { return m_why; }
    fs::path Share() const { return m_root / "share"; }

    Outcome Client(const std::string& commands) const
    {
        return Shell("smbclient -N -p " + std::to_string(m_port) + " -s " + Quoted((m_root / "smb.conf").string()) +
                     " //127.0.0.1/s -c " + Quoted(commands));
    }

private:
    void WriteConfig(const std::string& guest)
    {
        const std::string r = m_root.string();
        test::WriteFile(m_root / "smb.conf",
                        "[global]\n"
                        "server role = standalone server\n"
                        "interfaces = 127.0.0.1\nbind interfaces only = yes\n"
                        "smb ports = " +
                            std::to_string(m_port) +
                            "\n"
                            "disable netbios = yes\nserver min protocol = SMB2\n"
                            "lock directory = " +
                            r + "/lock\nstate directory = " + r +
                            "/state\n"
                            "cache directory = " +
                            r + "/cache\npid directory = " + r +
                            "/pid\n"
                            "private dir = " +
                            r + "/private\nncalrpc dir = " + r +
                            "/ncalrpc\n"
                            "log file = " +
                            r +
                            "/log/smbd.log\n"
                            "map to guest = Bad User\nguest account = " +
                            guest +
                            "\n"
                            "load printers = no\nprinting = bsd\nprintcap name = /dev/null\ndisable spoolss = yes\n"
                            "[s]\npath = " +
                            r +
                            "/share\nguest ok = yes\nguest only = yes\nread only = no\n"
                            "store dos attributes = yes\n");
    }

    void Start()
    {
        const std::string config = "--configfile=" + (m_root / "smb.conf").string();
        std::vector<char*> argv{const_cast<char*>("smbd"), const_cast<char*>("--foreground"),
                                const_cast<char*>("--no-process-group"), const_cast<char*>(config.c_str()), nullptr};
        // In a process group of its own (it does not make one itself here): the server
        // signals its whole group when it ends.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string logFile = (m_root / "log" / "stdout.log").string();
        posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, "smbd", &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (rc != 0) {
            m_why = "smbd could not be started";
            return;
        }
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                m_why = "smbd ended at once: " + test::ReadFile(logFile) + test::ReadFile(m_root / "log" / "smbd.log");
                return;
            }
            if (Accepts(m_port)) {
                m_pid = pid;
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        m_why = "smbd did not listen on port " + std::to_string(m_port) + " within 10 s";
    }

    fs::path m_root;
    int m_port = -1;
    pid_t m_pid = -1;
    std::string m_why;
};

TEST(PeerAttributes, FileServerAndWeReadAndWriteTheSameRecord)
{
    if (!OnPath("smbd") || !OnPath("smbclient")) GTEST_SKIP() << "smbd or smbclient is not installed";
    test::TempDir dir;
    LoopbackServer server(dir.path());
    if (!server.Running()) GTEST_SKIP() << "the file server could not start here: " << server.Why();

    const fs::path file = server.Share() / "f.txt";
    test::WriteFile(file, "data");

    // The server writes Hidden + System; we read exactly those.
    Outcome run = server.Client("setmode f.txt +hs");
    ASSERT_EQ(run.code, 0) << run.out;
    const std::string before = RawAttribute(file);
    ASSERT_GE(before.size(), 16u) << "the server wrote no binary record";
    EXPECT_EQ(InspectedLetters(file), "HS");
    // The zip tool's selection reads the same record through its one-pass folder listing:
    // the server's hidden system file is left out, the plain one beside it is packed.
    test::WriteFile(server.Share() / "plain.txt", "p");
    const fs::path selection = dir / "selection.zip";
    run = Shell(Cli("zip " + Quoted(server.Share().string()) + " " + Quoted(selection.string())));
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(Shell("unzip -Z1 " + Quoted(selection.string())).out, "plain.txt\n");
    run = server.Client("allinfo f.txt");
    std::smatch created;
    ASSERT_TRUE(std::regex_search(run.out, created, std::regex("create_time:[^\n]*"))) << run.out;
    const std::string createLine = created.str();

    // We write Archive + Read only; the server reports the same letters and keeps the
    // record's creation time and valid flags, changing nothing but the word.
    run = Shell(Cli("attrib " + Quoted(file.string()) + " AR"));
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(Letters(run.out), "AR");
    run = server.Client("allinfo f.txt");
    std::smatch attributes;
    ASSERT_TRUE(std::regex_search(run.out, attributes, std::regex("attributes: ([A-Z]*) \\((\\w+)\\)"))) << run.out;
    EXPECT_EQ(Letters(attributes[1].str()), "AR") << run.out;
    EXPECT_EQ(attributes[2].str(), "21") << run.out;
    EXPECT_NE(run.out.find(createLine), std::string::npos) << createLine << "\n" << run.out;
    const std::string after = RawAttribute(file);
    ASSERT_EQ(after.size(), before.size());
    std::string expected = before;
    const std::size_t word = before.find('\0') == 0 ? 12 : std::string::npos;
    ASSERT_EQ(word, 12u) << "the server's record has a text: layout unknown to this test";
    expected.replace(12, 4, std::string("\x21\0\0\0", 4));
    EXPECT_EQ(after, expected) << "only the attribute word may change";

    // And back: the server clears Read only, we see it.
    run = server.Client("setmode f.txt -r");
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(InspectedLetters(file).find('H'), std::string::npos);
}

// One throw-away prefix for the whole test: its first start takes many seconds.
class WinePrefix {
public:
    explicit WinePrefix(const fs::path& prefix) : m_prefix(prefix)
    {
        const Outcome boot = Shell(Environment() + " wineboot -i");
        m_ready = boot.code == 0 && fs::exists(prefix / "drive_c");
        if (!m_ready) m_why = boot.out.substr(0, 2000);
    }
    ~WinePrefix() { Shell(Environment() + " wineserver -k"); }
    bool Ready() const { return m_ready; }
    std::string Why() const { return m_why; }
    // The letters wine's attrib prints for a file in folder.
    Outcome Attrib(const fs::path& folder, const std::string& arguments) const
    {
        return Shell("cd " + Quoted(folder.string()) + " && " + Environment() + " wine cmd /c attrib " + arguments);
    }

private:
    std::string Environment() const
    {
        return "WINEPREFIX=" + Quoted(m_prefix.string()) +
               " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY= WAYLAND_DISPLAY=";
    }
    fs::path m_prefix;
    bool m_ready = false;
    std::string m_why;
};

std::string WineLetters(const Outcome& run, const std::string& name)
{
    // "A  SH R       Z:\...\name": the letters stand before the path.
    const std::size_t path = run.out.find("Z:\\");
    if (path == std::string::npos || run.out.find(name) == std::string::npos) return "?" + run.out;
    return Letters(run.out.substr(0, path));
}

TEST(PeerAttributes, CompatibilityLayerAndWeAgree)
{
    if (!OnPath("wine")) GTEST_SKIP() << "wine is not installed";
    test::TempDir dir;
    WinePrefix wine(dir / "prefix");
    if (!wine.Ready()) GTEST_SKIP() << "wine could not set up a prefix here: " << wine.Why();
    fs::create_directories(dir / "d");
    const fs::path file = dir / "d" / "f.txt";
    test::WriteFile(file, "data");

    // We write Hidden + System; wine sees them (it shows Archive on every file).
    Outcome run = Shell(Cli("attrib " + Quoted(file.string()) + " HS"));
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(WineLetters(wine.Attrib(dir / "d", "f.txt"), "f.txt"), "AHS");

    // Wine sets Read only and clears Hidden, one change per call; we see exactly that.
    ASSERT_EQ(wine.Attrib(dir / "d", "+r f.txt").code, 0);
    ASSERT_EQ(wine.Attrib(dir / "d", "-h f.txt").code, 0);
    EXPECT_EQ(InspectedLetters(file), "RS");

    // We clear Read only and set Hidden again; wine agrees.
    run = Shell(Cli("attrib " + Quoted(file.string()) + " AHS"));
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(WineLetters(wine.Attrib(dir / "d", "f.txt"), "f.txt"), "AHS");

    // What wine hides, the zip tool's selection leaves out (read through its folder listing).
    test::WriteFile(dir / "d" / "g.txt", "g");
    test::WriteFile(dir / "d" / "v.txt", "v");
    ASSERT_EQ(wine.Attrib(dir / "d", "+h g.txt").code, 0);
    const fs::path selection = dir / "selection.zip";
    run = Shell(Cli("zip " + Quoted((dir / "d").string()) + " " + Quoted(selection.string())));
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(Shell("unzip -Z1 " + Quoted(selection.string())).out, "v.txt\n");
}

} // namespace
} // namespace velmora
