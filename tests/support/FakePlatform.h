#pragma once
// Stand-ins for the platform services. FakePlatform fills every service with an inert
// fake (nothing found, nothing changed, nothing started; the shell records its calls),
// so a test points only the services it checks at fakes of its own.
#include "common/DateTimeText.h"
#include "platform/IAssociations.h"
#include "platform/IDesktopSettings.h"
#include "platform/IFileAttributes.h"
#include "platform/IFileHolders.h"
#include "platform/IFileTimes.h"
#include "platform/IFileUsage.h"
#include "platform/ILocaleFormats.h"
#include "platform/IProcesses.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

// What an inert service answers when asked to change something: it cannot.
inline Failure InertFailure()
{
    return Fail(Error{Error::Kind::Unsupported, {}, 0, "not offered by the inert fake"});
}

class FakeEnvironment : public IEnvironment {
public:
    std::string program;
    std::string temp;
    std::string appData;
    std::string home;
    std::string root;
    std::string ProgramFilePath() const override { return program; }
    std::string TemporaryFolder() const override { return temp; }
    std::string RoamingAppDataFolder() const override { return appData; }
    std::string HomeFolder() const override { return home; }
    std::string SystemDriveRoot() const override { return root; }
    const PathRules& Paths() const override { return kPosixPathRules; }
};

class RecordingShell : public IShell {
public:
    struct Call {
        std::string what;
        std::vector<std::string> args;
    };
    std::vector<Call> calls;
    bool StartHidden(const std::string& program, const std::vector<std::string>& arguments) override
    {
        std::vector<std::string> args{program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        calls.push_back({"start", args});
        return false;
    }
    bool OpenUrl(const std::string& url) override
    {
        calls.push_back({"url", {url}});
        return true;
    }
    bool OpenHelp(const std::string& helpFile, int context) override
    {
        calls.push_back({"help", {helpFile, std::to_string(context)}});
        return true;
    }
    bool ShowFolder(const std::string& folder) override
    {
        calls.push_back({"folder", {folder}});
        return true;
    }
};

class InertFileAttributes : public IFileAttributes {
public:
    std::optional<std::uint32_t> ReadAttributes(const std::string&) override { return std::nullopt; }
    Result<void> WriteAttributes(const std::string&, std::uint32_t) override { return InertFailure(); }
};

class InertFileTimes : public IFileTimes {
public:
    std::optional<TDateTime> ModificationTime(const std::string&) override { return std::nullopt; }
    std::optional<TDateTime> LastAccessTime(const std::string&) override { return std::nullopt; }
    Result<void> SetModificationTime(const std::string&, TDateTime) override { return InertFailure(); }
    Result<void> SetAccessAndModificationTime(const std::string&, TDateTime) override { return InertFailure(); }
    TDateTime Now() override { return 0; }
};

class InertFileUsage : public IFileUsage {
public:
    bool IsFileInUse(const std::string&) override { return false; }
    bool IsFileLocked(const std::string&) override { return false; }
};

class InertAssociations : public IAssociations {
public:
    ExecutableLookup FindExecutable(const std::string&, const std::string&) override { return {}; }
    std::string ProductName() override { return {}; }
    std::string ReadOpenWithListCommand(const std::string&) override { return {}; }
    std::string ReadShellOpenCommand(const std::string&) override { return {}; }
};

class InertProcesses : public IProcesses {
public:
    std::vector<ProcessEntry> Snapshot() override { return {}; }
    Result<void> Terminate(std::int64_t) override { return InertFailure(); }
    std::int64_t OwnProcessId() const override { return 0; }
};

class InertFileHolders : public IFileHolders {
public:
    HolderList ListHolders(const std::string&) override { return {}; }
};

class InertDesktopSettings : public IDesktopSettings {
public:
    bool OpenDefaultApps() override { return false; }
};

// The built-in formats (day.month.year, 24-hour time).
class InertLocaleFormats : public ILocaleFormats {
public:
    LocaleFormats Formats() override { return {}; }
};

class ZeroRandom : public IRandomSource {
public:
    Result<void> Fill(std::span<std::uint8_t> out) override
    {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        return Ok();
    }
};

// File times kept in memory, with paths that refuse a new time.
class MemoryFileTimes : public IFileTimes {
public:
    TDateTime now = 0;
    std::map<std::string, TDateTime> modified;
    std::set<std::string> refuse; // paths whose times cannot be set
    int refuseWith = EPERM;       // the reason given for them
    std::vector<std::pair<std::string, TDateTime>> sets;

    std::optional<TDateTime> ModificationTime(const std::string& path) override
    {
        const auto it = modified.find(path);
        if (it == modified.end()) return std::nullopt;
        return it->second;
    }
    std::optional<TDateTime> LastAccessTime(const std::string& path) override { return ModificationTime(path); }
    Result<void> SetModificationTime(const std::string& path, TDateTime local) override
    {
        return SetAccessAndModificationTime(path, local);
    }
    Result<void> SetAccessAndModificationTime(const std::string& path, TDateTime local) override
    {
        if (refuse.count(path) != 0) return Fail(ErrorFromErrno(refuseWith, path, kSetTimesFailed));
        sets.emplace_back(path, local);
        modified[path] = local;
        return Ok();
    }
    TDateTime Now() override { return now; }
};

// Fixed German-style formats.
class GermanLocale : public ILocaleFormats {
public:
    LocaleFormats Formats() override { return GermanStyleFormats(); }
};

// A Platform with every service filled by the fakes above. A test replaces a service by
// pointing its member elsewhere (platform.times = &myTimes); the defaults stay alive as
// long as the FakePlatform does.
class FakePlatform : public Platform {
public:
    FakeEnvironment env;
    RecordingShell recordingShell;

    FakePlatform()
    {
        environment = &env;
        shell = &recordingShell;
        attributes = &m_attributes;
        times = &m_times;
        usage = &m_usage;
        holders = &m_holders;
        associations = &m_associations;
        processes = &m_processes;
        desktopSettings = &m_desktopSettings;
        localeFormats = &m_localeFormats;
        random = &m_random;
        CheckAllServices(*this);
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

private:
    InertFileAttributes m_attributes;
    InertFileTimes m_times;
    InertFileUsage m_usage;
    InertFileHolders m_holders;
    InertAssociations m_associations;
    InertProcesses m_processes;
    InertDesktopSettings m_desktopSettings;
    InertLocaleFormats m_localeFormats;
    ZeroRandom m_random;
};

} // namespace velmora::test
