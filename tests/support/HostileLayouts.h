#pragma once
// Odd but real sandboxes that once lost data while a command reported success, shared by
// the command-line suite and the zip tool window's suite, which run the same layouts
// through their own front ends. Each setup builds its sandbox s and returns "" or what
// went wrong (archives come from the real tools where they exist).
#include "ArchiveBuilders.h"
#include "TreeSnapshot.h"

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

namespace velmora::test {

// Builds a sandbox; "" when it is ready, else what went wrong.
using Setup = std::function<std::string(const std::filesystem::path& s)>;

// Two files of the same name in two folders, a/x and b/x, packed into s/archive by maker.
inline std::string TwoX(const std::filesystem::path& s, const std::string& archive, Maker maker,
                        const ArchiveRecipe& recipe = {})
{
    MakeFile(s / "src" / "a" / "x", "ax");
    MakeFile(s / "src" / "b" / "x", "bx");
    ArchiveRecipe both = recipe;
    both.names = {"a", "b"};
    const std::string made = MakeArchive(maker, s / "src", s / archive, both);
    std::filesystem::remove_all(s / "src");
    return made;
}

// The protected archive s/archive of a folder s/folder holding files (name, content).
inline std::string ProtectedOf(const std::filesystem::path& s, const std::string& folder, const std::string& archive,
                               std::initializer_list<std::pair<const char*, const char*>> files,
                               const std::string& password = "pw")
{
    for (const auto& [name, content] : files)
        MakeFile(s / folder / name, content);
    std::filesystem::create_directories((s / archive).parent_path());
    return MakeProtected(s / folder, s / archive, password);
}

// s/Q.zip protected with "right", and the user's own folder.zip (a/x, b/x) in the folder T
// a restore would flatten into.
inline std::string ForeignFolderZipInTarget(const std::filesystem::path& s)
{
    std::filesystem::create_directories(s / "T");
    const std::string made = ProtectedOf(s, "Q", "Q.zip", {{"q.txt", "q"}}, "right");
    return made.empty() ? TwoX(s, "T/folder.zip", Maker::InfoZip) : made;
}

// A folder with a name that holds "\", which would come back as a folder part.
inline std::string BackslashName(const std::filesystem::path& s)
{
    MakeFile(s / "BS" / "x\\y.txt", "xy");
    MakeFile(s / "BS" / "y.txt", "y");
    return {};
}

// SD/self.zip holds an entry named self.zip beside f0.txt ... f19.txt.
inline std::string EntryNamedLikeTheArchive(const std::filesystem::path& s)
{
    ArchiveRecipe recipe{{"self.zip"}};
    for (int i = 0; i < 20; ++i) {
        MakeFile(s / "src" / ("f" + std::to_string(i) + ".txt"), std::to_string(i));
        recipe.names.push_back("f" + std::to_string(i) + ".txt");
    }
    MakeFile(s / "src" / "self.zip", "inner bytes");
    std::filesystem::create_directories(s / "SD");
    const std::string made = MakeArchive(Maker::InfoZip, s / "src", s / "SD" / "self.zip", recipe);
    std::filesystem::remove_all(s / "src");
    return made;
}

// What EntryNamedLikeTheArchive leaves in SD when every other entry came out.
inline Tree TwentyFilesBesideSelfZip()
{
    Tree t{{"self.zip", "*"}};
    for (int i = 0; i < 20; ++i)
        t["f" + std::to_string(i) + ".txt"] = "file 0644 " + std::to_string(i);
    return t;
}

// s/gz: the gzip members of the given files (name, content), one after the other; the
// files themselves are gone afterwards unless keep.
inline std::string GzipOf(const std::filesystem::path& s, const std::string& gz,
                          std::initializer_list<std::pair<std::string, std::string>> members, bool keep = false)
{
    std::string command = "cd " + ShellQuote(s.string()) + " && : >" + ShellQuote(gz);
    for (const auto& [name, content] : members) {
        MakeFile(s / name, content);
        command += " && gzip -c " + ShellQuote(name) + " >>" + ShellQuote(gz);
        if (!keep) command += " && rm " + ShellQuote(name);
    }
    const ShellResult made = RunShell(command);
    return made.code == 0 ? std::string() : "gzip failed: " + command + "\n" + made.output;
}

// The protected archive UT/folder.zip of one.txt and two.txt: restored into its own folder.
inline std::string ProtectedIntoItsOwnFolder(const std::filesystem::path& s)
{
    return ProtectedOf(s, "Q2", "UT/folder.zip", {{"one.txt", "1"}, {"two.txt", "2"}});
}

// The protected archive UT/folder.zip holds a file folder.zip of its own.
inline std::string ProtectedFileNamedLikeTheArchive(const std::filesystem::path& s)
{
    return ProtectedOf(s, "Q3", "UT/folder.zip", {{"one.txt", "1"}, {"folder.zip", "my own file"}});
}

// enc.zip of a/x and b/x under the password "secret": Info-ZIP's, and 7-Zip's ZipCrypto.
inline std::string TwoXByZipP(const std::filesystem::path& s)
{
    return TwoX(s, "enc.zip", Maker::InfoZip, {{}, "secret"});
}
inline std::string TwoXBySevenZip(const std::filesystem::path& s)
{
    return TwoX(s, "enc.zip", Maker::SevenZip, {{}, "secret", "-mem=ZipCrypto"});
}

// log.gz of two members, part1 and part2, which are gone afterwards.
inline Setup TwoGzipMembers(const std::string& first, const std::string& second)
{
    return [=](const std::filesystem::path& s) { return GzipOf(s, "log.gz", {{"part1", first}, {"part2", second}}); };
}

// notes.gz beside the user's own read-only notes.txt.
inline std::string ReadOnlyBesideGzip(const std::filesystem::path& s)
{
    const std::string made = GzipOf(s, "notes.gz", {{"notes.txt", "new"}}, true);
    MakeFile(s / "notes.txt", "mine, read-only", 0444);
    return made;
}

// notes.gz beside a link notes.txt to elsewhere.txt.
inline std::string LinkBesideGzip(const std::filesystem::path& s)
{
    const std::string made = GzipOf(s, "notes.gz", {{"notes.txt", "new"}});
    MakeFile(s / "elsewhere.txt", "keep");
    std::filesystem::create_symlink("elsewhere.txt", s / "notes.txt");
    return made;
}

// Flips the byte count bytes before the end of file with mask.
inline void FlipFromEnd(const std::filesystem::path& file, std::size_t count, char mask)
{
    std::string bytes = ReadFile(file);
    bytes[bytes.size() - count] = static_cast<char>(bytes[bytes.size() - count] ^ mask);
    WriteFile(file, bytes);
}

} // namespace velmora::test
