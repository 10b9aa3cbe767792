#pragma once
// A platform whose environment points into a throw-away folder and whose shell only
// records what it was asked to do.
#include "platform/Platform.h"

#include <string>
#include <vector>

namespace velmora::test {

class FakeEnvironment : public IEnvironment {
public:
    std::string program;
    std::string temp;
    std::string appData;
    std::string root;
    std::string ProgramFilePath() const override { return program; }
    std::string TemporaryFolder() const override { return temp; }
    std::string RoamingAppDataFolder() const override { return appData; }
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

} // namespace velmora::test
