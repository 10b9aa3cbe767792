#pragma once
// The zip tool window on the fake platform for the QTest suites: a throw-away folder, a
// shell that records what it is asked to open, the real random source and attributes
// (the window writes real archives), and no waiting.
#include "FakePlatformFixture.h"
#include "TestSupport.h"
#include "ziptool/UnitZip.h"

#include <QString>
#include <QtTest>

#include <memory>
#include <string>

namespace velmora::test {

struct ZipWindowFixture : FakePlatformFixture {
    std::unique_ptr<PlatformBackend> native = CreateNativePlatform();
    std::unique_ptr<TFormZip> window;

    ZipWindowFixture()
    {
        platform.random = native->Services().random;
        platform.attributes = native->Services().attributes;
        window = std::make_unique<TFormZip>(AppContext{platform, waiter});
    }
    QString Path(const std::string& name) const { return QString::fromStdString((dir / name).string()); }

    enum class Button { Protect, Unzip };

    // Fills the fields, clicks the button and waits until the command has ended.
    void Run(Button button, const char* folder, const char* zip, const char* password)
    {
        window->Edit1->setText(Path(folder));
        window->Edit3->setText(Path(zip));
        window->EditPass->setText(QString::fromUtf8(password));
        (button == Button::Protect ? window->ToolButtonZip : window->ToolButtonDel)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsBusy(), 60000);
    }
};

} // namespace velmora::test
