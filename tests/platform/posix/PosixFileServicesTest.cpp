#include "common/LanguageText.h"
#include "platform/posix/PosixAssociations.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixFileAttributes.h"
#include "platform/posix/PosixFileTimes.h"
#include "platform/posix/PosixFileUsage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>

namespace velmora {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

void SetXattr(const fs::path& path, const std::string& value)
{
    ASSERT_EQ(setxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0), 0);
}

TEST(PosixFileAttributes, ReadsStoredFormsModeAndNames)
{
    TempDir dir;
    PosixFileAttributes attributes;
    const auto file = [&](const std::string& name) {
        WriteFile(dir / name, "x");
        return (dir / name).string();
    };

    const std::string plain = file("plain.txt");
    EXPECT_EQ(attributes.ReadAttributes(plain), 0u);

    const std::string wine = file("wine.txt");
    SetXattr(wine, "0x21");
    EXPECT_EQ(attributes.ReadAttributes(wine), kAttributeArchive | kAttributeReadOnly);

    const std::string samba = file("samba.txt");
    // The record Samba 4.17 writes for Hidden + System: empty text, version 5, level 5,
    // valid flags 0x11, the word, the creation time.
    SetXattr(samba, "\0\0\x05\0\x05\0\0\0"s
                    "\x11\0\0\0"s
                    "\x06\0\0\0"s +
                        std::string(8, '\x01'));
    EXPECT_EQ(attributes.ReadAttributes(samba), kAttributeHidden | kAttributeSystem);

    const std::string readOnly = file("ro.txt");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(attributes.ReadAttributes(readOnly), kAttributeReadOnly);

    EXPECT_EQ(attributes.ReadAttributes(file(".dotted")), kAttributeHidden);
    const std::string listed = file("listed.txt");
    WriteFile(dir / ".hidden", "other\nlisted.txt\n");
    EXPECT_EQ(attributes.ReadAttributes(listed), kAttributeHidden);

    // A link shows its target's stored word.
    fs::create_symlink(wine, dir / "link");
    EXPECT_EQ(attributes.ReadAttributes((dir / "link").string()), kAttributeArchive | kAttributeReadOnly);

    fs::create_directory(dir / "folder");
    EXPECT_EQ(attributes.ReadAttributes((dir / "folder").string()), 0x10u);
    EXPECT_FALSE(attributes.ReadAttributes((dir / "missing").string()));
    fs::create_symlink(dir / "loop", dir / "loop");
    EXPECT_FALSE(attributes.ReadAttributes((dir / "loop").string()));

    // The one-pass folder listing tells every entry exactly what ReadAttributes and the
    // status calls tell of it, with links followed or listed as links.
    fs::create_symlink(dir / "folder", dir / "folderlink");
    for (const bool follow : {true, false}) {
        const Result<std::vector<FolderEntry>> listed = attributes.ListFolder(dir.path().string(), follow);
        ASSERT_TRUE(listed);
        const std::vector<FolderEntry>& entries = *listed;
        std::set<std::string> names;
        for (const FolderEntry& entry : entries) {
            names.insert(entry.name);
            const fs::path path = dir / entry.name;
            const bool link = fs::is_symlink(fs::symlink_status(path));
            std::error_code ec;
            const fs::file_status status = follow ? fs::status(path, ec) : fs::symlink_status(path);
            SCOPED_TRACE(entry.name + (follow ? " (followed)" : ""));
            if (!follow && link) {
                EXPECT_EQ(entry.kind, FolderEntry::Kind::Link);
                EXPECT_FALSE(entry.attributes);
                continue;
            }
            if (ec) {
                EXPECT_EQ(entry.kind, FolderEntry::Kind::Unreadable);
                EXPECT_EQ(entry.error, ec.value());
                continue;
            }
            EXPECT_EQ(entry.kind, fs::is_directory(status) ? FolderEntry::Kind::Folder : FolderEntry::Kind::File);
            EXPECT_EQ(entry.attributes, attributes.ReadAttributes(path.string()));
            EXPECT_EQ(entry.permissions, status.permissions());
            EXPECT_EQ(entry.modified, fs::last_write_time(path));
            if (fs::is_regular_file(status)) {
                EXPECT_EQ(entry.size, fs::file_size(path));
            }
        }
        EXPECT_EQ(names, (std::set<std::string>{".dotted", ".hidden", "folder", "folderlink", "link", "listed.txt",
                                                "loop", "plain.txt", "ro.txt", "samba.txt", "wine.txt"}));
    }
    const Result<std::vector<FolderEntry>> none = attributes.ListFolder((dir / "missing").string(), true);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().systemError, ENOENT);
    EXPECT_EQ(none.error().path, (dir / "missing").string());
}

TEST(PosixFileAttributes, WritesTheWholeSetAndReadsItBack)
{
    TempDir dir;
    PosixFileAttributes attributes;
    WriteFile(dir / "f.txt", "x");
    WriteFile(dir / ".hidden", "keep\n");
    const std::string path = (dir / "f.txt").string();
    for (std::uint32_t set : {0x27u, 0x00u, 0x01u, 0x02u, 0x24u, 0x00u}) {
        ASSERT_TRUE(attributes.WriteAttributes(path, set | 0x100)) << set;
        EXPECT_EQ(attributes.ReadAttributes(path), set) << set;
        const bool writable = (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
        EXPECT_EQ(writable, (set & kAttributeReadOnly) == 0) << set;
    }
    EXPECT_EQ(test::ReadFile(dir / ".hidden"), "keep\n");

    // Through a link: the target gets the word, the link's own name is listed.
    fs::create_symlink(path, dir / "link");
    ASSERT_TRUE(attributes.WriteAttributes((dir / "link").string(), kAttributeHidden | kAttributeArchive));
    EXPECT_EQ(attributes.ReadAttributes(path), kAttributeHidden | kAttributeArchive);
    EXPECT_EQ(test::ReadFile(dir / ".hidden"), "keep\nlink\n");

    // A dot name stays hidden: clearing Hidden on it is refused before anything changes.
    WriteFile(dir / ".dot", "x");
    EXPECT_EQ(attributes.RefusalFor((dir / ".dot").string(), kAttributeReadOnly), AttributeRefusal::NameAlwaysHidden);
    const Result<void> refused = attributes.WriteAttributes((dir / ".dot").string(), kAttributeReadOnly);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().systemError, EPERM);
    EXPECT_EQ(attributes.ReadAttributes((dir / ".dot").string()), kAttributeHidden);
    ASSERT_TRUE(attributes.WriteAttributes((dir / ".dot").string(), kAttributeHidden | kAttributeSystem));
    EXPECT_EQ(attributes.ReadAttributes((dir / ".dot").string()), kAttributeHidden | kAttributeSystem);

    // A folder keeps its write bits: read-only is only its mark.
    fs::create_directory(dir / "sub");
    ASSERT_TRUE(attributes.WriteAttributes((dir / "sub").string(), kAttributeReadOnly));
    EXPECT_EQ(attributes.ReadAttributes((dir / "sub").string()), 0x10u | kAttributeReadOnly);
    EXPECT_NE(fs::status(dir / "sub").permissions() & fs::perms::owner_write, fs::perms::none);

    const Result<void> missing = attributes.WriteAttributes((dir / "missing").string(), 0);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().systemError, ENOENT);
    EXPECT_EQ(ErrorText(missing.error(), kEnglish),
              "cannot set the attributes of '" + (dir / "missing").string() + "': " + std::strerror(ENOENT));
}

TEST(PosixFileTimes, ModificationTimeIsSetAloneAndReadBackLocally)
{
    TempDir dir;
    PosixFileTimes times;
    const std::string path = (dir / "t.txt").string();
    WriteFile(path, "x");
    const TDateTime access = EncodeDateTime({2001, 2, 3, 4, 5, 6, 0});
    ASSERT_TRUE(times.SetAccessAndModificationTime(path, access));
    const TDateTime modified = EncodeDateTime({2026, 7, 14, 10, 15, 36, 250});
    ASSERT_TRUE(times.SetModificationTime(path, modified));
    EXPECT_EQ(DecodeDateTime(*times.ModificationTime(path)), DecodeDateTime(modified));
    EXPECT_EQ(DecodeDateTime(*times.LastAccessTime(path)), DecodeDateTime(access));
    EXPECT_FALSE(times.ModificationTime((dir / "missing").string()));
    const Result<void> missing = times.SetModificationTime((dir / "missing").string(), modified);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, Error::Kind::NotFound);
    EXPECT_EQ(missing.error().path, (dir / "missing").string());
}

// A child process that keeps the file open as its standard input until it is ended.
class Holder {
public:
    explicit Holder(const std::string& path)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, path.c_str(), O_RDONLY, 0);
        char* argv[] = {const_cast<char*>("sleep"), const_cast<char*>("60"), nullptr};
        m_ok = posix_spawnp(&m_pid, "sleep", &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Holder() { End(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool Started() const { return m_ok; }
    void End()
    {
        if (m_ok) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_ok = false;
        }
    }

private:
    pid_t m_pid = 0;
    bool m_ok = false;
};

TEST(PosixFileUsage, FileHeldByAChildIsInUseUntilTheChildEnds)
{
    TempDir dir;
    PosixFileAttributes attributes;
    PosixFileUsage usage(attributes);
    const std::string path = (dir / "held.txt").string();
    WriteFile(path, "x");
    EXPECT_FALSE(usage.IsFileInUse(path));
    Holder holder(path);
    ASSERT_TRUE(holder.Started());
    // posix_spawn returns once the child runs its program, so the file is open by then.
    EXPECT_TRUE(usage.IsFileInUse(path));
    EXPECT_TRUE(usage.IsFileLocked(path));
    // The scan used where the file system grants no leases finds the child as well.
    const std::string canonical = fs::canonical(path).string();
    EXPECT_TRUE(IsOpenInOtherProcess(canonical, std::chrono::seconds(5)));
    holder.End();
    EXPECT_FALSE(usage.IsFileInUse(path));
    EXPECT_FALSE(usage.IsFileLocked(path));
    EXPECT_FALSE(IsOpenInOtherProcess(canonical, std::chrono::seconds(5)));
}

TEST(PosixFileUsage, LocksReadOnlyFoldersAndMissingPaths)
{
    TempDir dir;
    PosixFileAttributes attributes;
    PosixFileUsage usage(attributes);
    const std::string path = (dir / "f.txt").string();
    WriteFile(path, "x");

    // A lock on another open file description, even of this process.
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);
    EXPECT_TRUE(usage.IsFileInUse(path));
    close(fd);
    EXPECT_FALSE(usage.IsFileInUse(path));

    // Read-only by attribute alone (the mode still allows writing) and by mode.
    ASSERT_EQ(setxattr(path.c_str(), "user.DOSATTRIB", "0x1", 3, 0), 0);
    EXPECT_TRUE(usage.IsFileInUse(path));
    ASSERT_EQ(removexattr(path.c_str(), "user.DOSATTRIB"), 0);
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(usage.IsFileInUse(path));

    EXPECT_TRUE(usage.IsFileInUse(dir.path().string()));
    EXPECT_TRUE(usage.IsFileInUse((dir / "missing").string()));
    EXPECT_TRUE(usage.IsFileInUse(""));
    EXPECT_FALSE(usage.IsFileLocked(dir.path().string()));
    EXPECT_FALSE(usage.IsFileLocked((dir / "missing").string()));
}

TEST(PosixAssociations, ProgramsResolveThroughPathAndTheProductNameIsRead)
{
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    WriteFile(dir / "a" / "tool", "#!/bin/sh\n"); // not executable: skipped
    WriteFile(dir / "b" / "tool", "#!/bin/sh\n");
    fs::permissions(dir / "b" / "tool", fs::perms::owner_all);
    fs::create_directories(dir / "c" / "tool"); // a folder of that name: skipped
    const std::string path = (dir / "a").string() + "::relative:" + (dir / "c").string() + ":" + (dir / "b").string();
    EXPECT_EQ(ResolveProgram("tool", path), (dir / "b" / "tool").string());
    EXPECT_EQ(ResolveProgram((dir / "b" / "tool").string(), ""), (dir / "b" / "tool").string());
    EXPECT_EQ(ResolveProgram("b/tool", dir.path().string()), "");
    EXPECT_EQ(ResolveProgram("missing", path), "");

    WriteFile(dir / "os-release", "NAME=x\nPRETTY_NAME=\"Windows 10 Pro\"\n");
    EXPECT_EQ(PosixAssociations({(dir / "none").string(), (dir / "os-release").string()}).ProductName(),
              "Windows 10 Pro");
    EXPECT_EQ(PosixAssociations({(dir / "none").string()}).ProductName(), "");
}

TEST(PosixAssociations, LookupCodesForMissingPathsUnknownTypesAndPrograms)
{
    TempDir dir;
    const fs::path data = dir / "data";
    fs::create_directories(data / "applications");
    fs::create_directory_symlink("/usr/share/mime", data / "mime");
    const fs::path program = dir / "viewer";
    WriteFile(program, "#!/bin/sh\n");
    WriteFile(data / "applications" / "viewer.desktop",
              "[Desktop Entry]\nType=Application\nExec=\"" + program.string() + "\" %f\nMimeType=text/plain;\n");
    const std::pair<const char*, std::string> variables[] = {{"XDG_CONFIG_HOME", (dir / "config").string()},
                                                             {"XDG_CONFIG_DIRS", (dir / "etc").string()},
                                                             {"XDG_DATA_HOME", (dir / "home").string()},
                                                             {"XDG_DATA_DIRS", data.string()},
                                                             {"XDG_CURRENT_DESKTOP", ""}};
    for (const auto& [name, value] : variables) {
        setenv(name, value.c_str(), 1);
    }
    WriteFile(dir / "a.txt", "text");
    WriteFile(dir / "a.qqzz", std::string("\x00\x01", 2));
    const std::string folder = dir.path().string() + "/";
    PosixAssociations associations;

    EXPECT_EQ(associations.FindExecutable("a.txt", folder).code, kFindBadFormat); // not executable
    fs::permissions(program, fs::perms::owner_all);
    const ExecutableLookup found = associations.FindExecutable("a.txt", folder);
    EXPECT_EQ(found.code, kFindSuccess);
    EXPECT_EQ(found.executable, program.string());
    EXPECT_EQ(associations.ReadShellOpenCommand("txt"), "\"" + program.string() + "\" %f");
    EXPECT_EQ(associations.ReadShellOpenCommand("qqzz"), "");
    EXPECT_EQ(associations.FindExecutable("a.qqzz", folder).code, kFindNoAssociation);
    EXPECT_EQ(associations.FindExecutable("gone.txt", folder).code, kFindFileNotFound);
    EXPECT_EQ(associations.FindExecutable("a.txt", folder + "nowhere/").code, kFindPathNotFound);
    fs::remove(program);
    EXPECT_EQ(associations.FindExecutable("a.txt", folder).code, kFindNoAssociation);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(PosixEnvironment, ConfigurationFolderFollowsTheBaseDirectoryRules)
{
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "/home/someone", 1);
    PosixEnvironment environment;
    setenv("XDG_CONFIG_HOME", "/srv/cfg/", 1);
    EXPECT_EQ(environment.RoamingAppDataFolder(), "/srv/cfg");
    // A relative value is ignored, as is an empty one.
    setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(environment.RoamingAppDataFolder(), "/home/someone/.config");
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(environment.RoamingAppDataFolder(), "/home/someone/.config");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", oldHome.c_str(), 1);
}

} // namespace
} // namespace velmora
