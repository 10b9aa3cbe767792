// Link entries: made as links where the policy allows, never written through, and
// compared with what Info-ZIP makes of the same archive.
#include "ArchiveResults.h"
#include "ArchiveTestSupport.h"
#include "PeerGate.h"
#include "archive/zip/ZipReader.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::RunShell;
using test::ShellQuote;
using test::TempDir;

#ifndef _WIN32
// Every link below root with its target text.
std::map<std::string, std::string> LinksBelow(const fs::path& root)
{
    std::map<std::string, std::string> links;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink()) {
            links[it->path().lexically_relative(root).generic_string()] = fs::read_symlink(it->path()).string();
        }
    }
    return links;
}

bool WarnedAbout(const ZipExtractResult& result, const std::string& name, const std::string& reason)
{
    for (const std::string& warning : result.warnings) {
        if (warning.find(name) != std::string::npos && warning.find(reason) != std::string::npos) return true;
    }
    return false;
}
#endif

TEST(LinkEntries, ATreeOfZipRyComesBackWithItsInsideLinksAsInfoZipMakesThem)
{
#ifdef _WIN32
    GTEST_SKIP() << "links are not made on Windows";
#else
    if (!test::HaveTool("zip") || !test::HaveTool("unzip")) GTEST_SKIP() << "Info-ZIP zip and unzip are needed";
    TempDir dir;
    const fs::path tree = dir / "tree";
    fs::create_directories(tree / "sub" / "deep");
    test::WriteFile(tree / "a.txt", "a");
    test::WriteFile(tree / "sub" / "b.txt", "b");
    const std::map<std::string, std::string> inside = {
        {"rel", "a.txt"},   {"sub/up", "../a.txt"},  {"sub/deep/up2", "../../sub/b.txt"},
        {"dirlink", "sub"}, {"dangling", "missing"}, {"chain", "dirlink/b.txt"},
    };
    const std::map<std::string, std::string> outside = {
        {"abs", "/etc/hostname"}, {"sub/esc", "../../outside"}, {"back", "sub/../../x"}};
    for (const auto* links : {&inside, &outside}) {
        for (const auto& [name, target] : *links)
            fs::create_symlink(target, tree / name);
    }
    const fs::path archive = dir / "links.zip";
    ASSERT_EQ(RunShell("cd " + ShellQuote(tree.string()) + " && zip -qry " + ShellQuote(archive.string()) + " .").code,
              0);
    const fs::path peer = dir / "infozip";
    ASSERT_EQ(RunShell("unzip -q " + ShellQuote(archive.string()) + " -d " + ShellQuote(peer.string())).code, 0);

    const fs::path out = dir / "out";
    const ZipExtractResult result = UnZipFile(archive, out);
    EXPECT_TRUE(result.outcome) << test::FailureText(result.outcome);
    EXPECT_EQ(LinksBelow(out), inside);
    for (const auto& [name, target] : inside)
        EXPECT_EQ(fs::read_symlink(peer / name).string(), target) << name; // as Info-ZIP made it
    EXPECT_TRUE(WarnedAbout(result, "abs' -> '/etc/hostname'", "points outside the folder"));
    EXPECT_TRUE(WarnedAbout(result, "esc' -> '../../outside'", "points outside the folder"));
    EXPECT_TRUE(WarnedAbout(result, "back' -> 'sub/../../x'", "climbs back up"));
    EXPECT_EQ(test::ReadFile(out / "chain"), "b");

    // The two other policies.
    const ZipExtractOptions all{.links = LinkPolicy::All};
    const ZipExtractResult everything = UnZipFile(archive, dir / "all", all);
    EXPECT_TRUE(everything.outcome) << test::FailureText(everything.outcome);
    std::map<std::string, std::string> both = inside;
    both.insert(outside.begin(), outside.end());
    EXPECT_EQ(LinksBelow(dir / "all"), both);
    const ZipExtractOptions skip{.links = LinkPolicy::Skip};
    const ZipExtractResult none = UnZipFile(archive, dir / "none", skip);
    EXPECT_TRUE(none.outcome) << test::FailureText(none.outcome);
    EXPECT_TRUE(LinksBelow(dir / "none").empty());
    EXPECT_EQ(none.warnings.size(), both.size());
#endif
}

TEST(LinkEntries, NothingIsWrittenThroughALinkWhateverThePolicy)
{
#ifdef _WIN32
    GTEST_SKIP() << "the archive comes from Python at test time";
#else
    if (!test::HaveTool("python3")) GTEST_SKIP() << "python3 missing: the archive comes from Python";
    TempDir dir;
    TempDir victim;
    const fs::path archive = dir / "hostile.zip";
    // A link to the victim folder, then entries through it; a link to "." and an entry
    // that would climb out through it; a link that passes through a link already there.
    const std::string script = "import zipfile,sys\n"
                               "z=zipfile.ZipFile(sys.argv[1],'w')\n"
                               "def link(n,t):\n"
                               "  i=zipfile.ZipInfo(n); i.create_system=3; i.external_attr=(0o120777<<16)\n"
                               "  z.writestr(i,t)\n"
                               "link('d',sys.argv[2]); z.writestr('d/evil.txt','x')\n"
                               "link('here','.'); z.writestr('here/ok.txt','y')\n"
                               "link('via','planted/x')\n"
                               "z.close()\n";
    test::WriteFile(dir / "make.py", script);
    ASSERT_EQ(RunShell("python3 " + ShellQuote((dir / "make.py").string()) + " " + ShellQuote(archive.string()) + " " +
                       ShellQuote(victim.path().string()))
                  .code,
              0);
    for (const LinkPolicy policy : {LinkPolicy::Inside, LinkPolicy::All}) {
        SCOPED_TRACE(policy == LinkPolicy::All ? "all" : "inside");
        const fs::path out = dir / (policy == LinkPolicy::All ? "all" : "inside");
        fs::create_directories(out);
        fs::create_directory_symlink(victim.path(), out / "planted");
        ZipExtractOptions options;
        options.links = policy;
        const ZipExtractResult result = UnZipFile(archive, out, options);
        EXPECT_FALSE(result.outcome);
        EXPECT_TRUE(fs::is_empty(victim.path()));
        bool throughLink = false;
        for (const Error& failure : result.failures)
            throughLink |=
                ErrorText(failure, kEnglish).find("is a link; nothing is written through it") != std::string::npos;
        EXPECT_TRUE(throughLink);
        EXPECT_EQ(fs::read_symlink(out / "here").string(), ".");
        EXPECT_FALSE(fs::exists(out / "ok.txt"));
        EXPECT_EQ(fs::is_symlink(out / "via"), policy == LinkPolicy::All);
        if (policy == LinkPolicy::Inside) {
            EXPECT_TRUE(WarnedAbout(result, "via' -> 'planted/x'", "passes through a link that was there already"));
        }
    }
#endif
}

} // namespace
} // namespace velmora
