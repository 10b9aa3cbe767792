#pragma once
// Archives for the tests, made from a folder by one of four makers behind one call: our
// own writer, Info-ZIP zip, 7-Zip's 7zz or Python's zipfile module; and protected
// folders made by our own protect procedure. Free of any test framework: a maker that
// fails says why in the returned text, which the GoogleTest and QTest suites each show
// their own way.
#include "ArchiveTestSupport.h"
#include "Peers.h"
#include "archive/zip/ZipWriter.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "protect/ProtectedFolder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::test {

enum class Maker {
    Ours,     // WriteZipArchive/WriteZipEntries, random bytes counting up; options "aes"
    InfoZip,  // zip -q -r; options such as "-Z bzip2", "-y", "-X"
    SevenZip, // 7zz a -tzip; options such as "-mm=PPMd:mem=1m", "-mem=AES256"
    Python,   // zipfile.ZipFile(..., 'w', zipfile.<options>), files only; options default ZIP_DEFLATED
};

struct ArchiveRecipe {
    // Files and folders below the source folder, each folder with everything in it;
    // empty: all of the source folder.
    std::vector<std::string> names;
    std::string password; // traditional encryption unless the options ask for more
    std::string options;  // in the maker's own words (see Maker)
};

inline const char* MakerName(Maker maker)
{
    switch (maker) {
    case Maker::Ours:
        return "our writer";
    case Maker::InfoZip:
        return "zip";
    case Maker::SevenZip:
        return "7zz";
    case Maker::Python:
        return "python3";
    }
    return "?";
}

// Options for our writer that encrypt with password, the random bytes counting up (so the
// archive comes out the same in every run); kept together so the source outlives the call.
struct Encrypted {
    CountingRandom random;
    ZipWriteOptions options;
    explicit Encrypted(const std::string& password, bool aes = false)
    {
        options.password = password;
        options.aes = aes;
        options.random = &random;
    }
    Encrypted(const Encrypted&) = delete;
    Encrypted& operator=(const Encrypted&) = delete;
};

// Packs what recipe names below `from` into archive. The peers update an archive that is
// there already, as they do (so one archive can take entries under two passwords); ours
// replaces it. Returns "" when the archive was made, else what went wrong.
inline std::string MakeArchive(Maker maker, const std::filesystem::path& from, const std::filesystem::path& archive,
                               const ArchiveRecipe& recipe = {})
{
    std::string names;
    for (const std::string& name : recipe.names)
        names += " " + ShellQuote(name);
    if (names.empty()) names = " .";
    const std::string in = "cd " + ShellQuote(from.string()) + " && ";
    const std::string to = " " + ShellQuote(archive.string());
    std::string command;
    switch (maker) {
    case Maker::Ours: {
        const Encrypted encrypted(recipe.password, recipe.options == "aes");
        Result<std::vector<ZipSource>> collected = CollectZipSources(from, ZipSelection::WholeTree, {}, archive);
        if (!collected) return "our walk: " + ErrorText(collected.error(), kEnglish);
        std::vector<ZipSource> sources = std::move(*collected);
        if (!recipe.names.empty()) {
            std::erase_if(sources, [&](const ZipSource& source) {
                for (const std::string& name : recipe.names) {
                    if (source.name == name || source.name.rfind(name + "/", 0) == 0) return false;
                }
                return true;
            });
        }
        const ZipWriteResult written = WriteZipEntries(sources, archive, encrypted.options);
        return written.outcome ? std::string() : "our writer: " + ErrorText(written.outcome.error(), kEnglish);
    }
    case Maker::InfoZip:
        command = in + "zip -q -r " + (recipe.password.empty() ? "" : "-P " + ShellQuote(recipe.password) + " ") +
                  recipe.options + to + names;
        break;
    case Maker::SevenZip:
        command = in + "7zz a -bd -tzip " + (recipe.password.empty() ? "" : ShellQuote("-p" + recipe.password) + " ") +
                  recipe.options + to + names + " >/dev/null";
        break;
    case Maker::Python:
        if (!recipe.password.empty()) return "python3: zipfile writes no encrypted archives";
        command = in + "python3 -c " +
                  ShellQuote("import os,sys,zipfile\n"
                             "with zipfile.ZipFile(sys.argv[1],'w',getattr(zipfile,sys.argv[2])) as z:\n"
                             " for top in sys.argv[3:]:\n"
                             "  if os.path.isfile(top): z.write(top,os.path.relpath(top))\n"
                             "  for r,_,fs in os.walk(top):\n"
                             "   for f in fs: z.write(os.path.join(r,f),os.path.relpath(os.path.join(r,f)))\n") +
                  to + " " + (recipe.options.empty() ? "ZIP_DEFLATED" : recipe.options) + names;
        break;
    }
    const ShellResult made = RunShell(command);
    return made.code == 0 ? std::string() : std::string(MakerName(maker)) + " failed: " + command + "\n" + made.output;
}

// An archive of count entries f0, f1, ... that all hold the one byte "1", written by our
// writer (more than 65,535 of them make it a Zip64 archive). Returns "" or what went wrong.
inline std::string MakeManyEntries(const std::filesystem::path& archive, int count)
{
    const std::filesystem::path one = archive.parent_path() / "one.txt";
    WriteFile(one, "1");
    std::vector<ZipSource> sources;
    for (int i = 0; i < count; ++i)
        sources.push_back({one, "f" + std::to_string(i), false});
    const ZipWriteResult written = WriteZipEntries(sources, archive, {});
    return written.outcome ? std::string() : "our writer: " + ErrorText(written.outcome.error(), kEnglish);
}

// Replaces folder by the protected archive at zipPath, as an earlier session of the
// window or of `velmora-cli protect` would have. Returns "" on success, else why not.
inline std::string MakeProtected(const std::filesystem::path& folder, const std::filesystem::path& zipPath,
                                 const std::string& password)
{
    CountingRandom random;
    ProtectOptions options;
    options.password = password;
    options.random = &random;
    const ProtectResult result = ProtectFolderToArchive(folder, zipPath, options);
    return result.status == ProtectStatus::Ok ? std::string() : "protect failed: " + ErrorText(*result.error, kEnglish);
}

} // namespace velmora::test
