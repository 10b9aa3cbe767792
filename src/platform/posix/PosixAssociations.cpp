#include "platform/posix/PosixAssociations.h"

#include "common/ExecLauncher.h"
#include "common/RetryOnInterrupt.h"
#include "platform/SmallFile.h"
#include "platform/posix/MimeApps.h"
#include "platform/posix/OsRelease.h"
#include "platform/posix/PosixEnvironment.h"

#include <QMimeDatabase>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

XdgLocations CurrentLocations()
{
    return XdgLocationsFrom(
        [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            return value ? std::optional<std::string>(value) : std::nullopt;
        },
        HomeFolder());
}

// The type and the types it derives from, most specific first. Every type derives from
// the generic byte stream, which says nothing about the file, so it only counts when
// it is the type itself.
std::vector<std::string> TypeAndParents(const QMimeType& type)
{
    std::vector<std::string> names;
    if (!type.isValid()) {
        return names;
    }
    names.push_back(type.name().toStdString());
    for (const QString& alias : type.aliases()) {
        names.push_back(alias.toStdString());
    }
    for (const QString& parent : type.allAncestors()) {
        if (parent != QLatin1String("application/octet-stream")) {
            names.push_back(parent.toStdString());
        }
    }
    return names;
}

std::vector<std::string> TypesForExtension(const std::string& extension)
{
    if (extension.empty()) {
        return {};
    }
    const QMimeDatabase database;
    const QList<QMimeType> types =
        database.mimeTypesForFileName(QStringLiteral("x.") + QString::fromStdString(extension));
    return types.isEmpty() ? std::vector<std::string>() : TypeAndParents(types.front());
}

std::string CommandFor(const std::string& extension, ListScope scope)
{
    const std::vector<std::string> types = TypesForExtension(extension);
    if (types.empty()) {
        return {};
    }
    MimeAppsLookup lookup(CurrentLocations(), scope);
    const std::optional<DesktopEntry> entry = lookup.DefaultApplication(types);
    if (!entry) {
        return {};
    }
    // A line that starts with a launcher ("env", "sh -c", "flatpak run", ...) stands for
    // the program it names behind it; one that names none keeps its launcher.
    const std::vector<std::string> words = SplitExec(entry->exec);
    const ExecProgram program = ResolveExecLauncher(words);
    if (program.launcher.empty() || program.words.empty()) {
        return entry->exec;
    }
    return JoinExecWords(program.words);
}

bool IsExecutableFile(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string ResolveProgram(const std::string& program, const std::string& pathVariable)
{
    if (program.empty()) {
        return {};
    }
    if (program.find('/') != std::string::npos) {
        return program.front() == '/' && IsExecutableFile(program) ? program : std::string();
    }
    std::size_t start = 0;
    while (start <= pathVariable.size()) {
        std::size_t end = pathVariable.find(':', start);
        if (end == std::string::npos) {
            end = pathVariable.size();
        }
        const std::string folder = pathVariable.substr(start, end - start);
        // An empty or relative PATH entry would depend on the current folder: skipped.
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + program;
            if (IsExecutableFile(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

ExecutableLookup PosixAssociations::FindExecutable(const std::string& file, const std::string& folder)
{
    struct stat st {};
    if (!folder.empty() && (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        return {kFindPathNotFound, {}};
    }
    const std::string path = folder + file;
    if (file.empty() || stat(path.c_str(), &st) != 0) {
        return {kFindFileNotFound, {}};
    }
    const QMimeDatabase database;
    const std::vector<std::string> types = TypeAndParents(database.mimeTypeForFile(QString::fromStdString(path)));
    MimeAppsLookup lookup(CurrentLocations(), ListScope::All);
    const std::optional<DesktopEntry> entry = lookup.DefaultApplication(types);
    if (!entry) {
        return {kFindNoAssociation, {}};
    }
    const std::vector<std::string> exec = SplitExec(entry->exec);
    // Through a launcher to the program the line names; a launcher that names none is
    // shown as it is (and is never ended by name).
    const ExecProgram resolved = ResolveExecLauncher(exec);
    const std::vector<std::string>& words = resolved.words.empty() ? exec : resolved.words;
    if (resolved.script && !words.empty() && words.front().front() == '/') {
        // A script run by its interpreter need not be executable itself.
        struct stat script {};
        if (stat(words.front().c_str(), &script) == 0 && S_ISREG(script.st_mode)) {
            return {kFindSuccess, words.front()};
        }
    }
    const char* pathVariable = std::getenv("PATH");
    const std::string program =
        ResolveProgram(words.empty() ? std::string() : words.front(),
                       pathVariable ? std::string(pathVariable) : std::string("/usr/local/bin:/usr/bin:/bin"));
    if (program.empty()) {
        // A program named by its full path that is there but cannot be run is reported;
        // one that is missing altogether counts as no association.
        struct stat target {};
        const std::string& named = words.empty() ? std::string() : words.front();
        if (!named.empty() && named.front() == '/' && stat(named.c_str(), &target) == 0) {
            return {kFindBadFormat, {}};
        }
        return {kFindNoAssociation, {}};
    }
    return {kFindSuccess, program};
}

std::string PosixAssociations::ProductName()
{
    for (const std::string& file : m_osReleaseFiles) {
        std::string content;
        if (ReadSmallRegularFile(file, content, 1 << 16)) {
            return OsReleaseValue(content, "PRETTY_NAME");
        }
    }
    return {};
}

std::string PosixAssociations::ReadOpenWithListCommand(const std::string& extension)
{
    return CommandFor(extension, ListScope::UserOnly);
}

std::string PosixAssociations::ReadShellOpenCommand(const std::string& extension)
{
    return CommandFor(extension, ListScope::SystemOnly);
}

} // namespace velmora
