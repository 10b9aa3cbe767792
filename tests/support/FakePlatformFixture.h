#pragma once
// What a window test starts from: a throw-away folder holding the program's folder, and
// the fake platform with a fake environment and a shell that records what it is asked to
// open. A test's fixture derives from it and adds its window.
#include "FakePlatform.h"
#include "TestSupport.h"
#include "common/Waiter.h"

namespace velmora::test {

struct FakePlatformFixture {
    TempDir dir;
    FakeEnvironment env;
    RecordingShell shell;
    FakePlatform platform;
    NoWaiter waiter;

    FakePlatformFixture()
    {
        env.program = (dir / "bin" / "velmora").string();
        platform.environment = &env;
        platform.shell = &shell;
    }
};

} // namespace velmora::test
