#pragma once
// All six windows on a fake platform: program, temporary and data folders inside a
// throw-away folder, a shell that records what it is asked to open.
#include "FakePlatform.h"
#include "TestSupport.h"
#include "app/AppWindows.h"
#include "app/unlockpas.h"

#include <filesystem>
#include <memory>

namespace velmora::test {

// Timers that never fire on their own within a test; handlers are called by hand.
class FrozenWaiter final : public IWaiter {
public:
    void Wait(std::chrono::milliseconds) override {}
    std::chrono::milliseconds TimerInterval(std::chrono::milliseconds) const override { return std::chrono::hours(1); }
};

// Every timer and wait takes no time, except the update notice timer (nominally 5 s),
// which runs with the given interval.
class NoticeTimerWaiter final : public IWaiter {
public:
    explicit NoticeTimerWaiter(std::chrono::milliseconds noticeInterval) : m_noticeInterval(noticeInterval) {}
    void Wait(std::chrono::milliseconds) override {}
    std::chrono::milliseconds TimerInterval(std::chrono::milliseconds nominal) const override
    {
        return nominal == std::chrono::milliseconds(5000) ? m_noticeInterval : std::chrono::milliseconds(0);
    }

private:
    std::chrono::milliseconds m_noticeInterval;
};

struct AppFixture {
    TempDir dir;
    FakeEnvironment env;
    RecordingShell recordingShell;
    IShell* shell = &recordingShell;
    FakePlatform platform;
    NoWaiter noWaiter;
    IWaiter* waiter = &noWaiter;
    std::unique_ptr<AppWindows> windows;

    AppFixture()
    {
        for (const char* sub : {"bin", "config", "root", "tmp"})
            std::filesystem::create_directories(dir / sub);
        env.program = (dir / "bin" / "velmora").string();
        env.temp = (dir / "tmp").string();
        env.appData = (dir / "config").string();
        env.root = (dir / "root").string() + "/";
        platform.environment = &env;
    }
    std::filesystem::path ReleaseFile() const { return dir / "tmp" / "velmora.dat"; }
    TFormLock& Start()
    {
        platform.shell = shell;
        windows = CreateAppWindows({platform, *waiter});
        windows->FormLock->show();
        return *windows->FormLock;
    }
    std::vector<std::string> OpenedUrls() const
    {
        std::vector<std::string> urls;
        for (const auto& call : recordingShell.calls) {
            if (call.what == "url") urls.push_back(call.args.at(0));
        }
        return urls;
    }
};

} // namespace velmora::test
