#include "ChildProcess.h"
#include "TestSupport.h"
#include "app/unlockpas.h"
#include "common/DateTimeText.h"
#include "platform/IDesktopSettings.h"
#include "platform/IFileAttributes.h"
#include "platform/IFileTimes.h"
#include "platform/IFileUsage.h"
#include "platform/ILocaleFormats.h"
#include "ui/Messages.h"

#include <QtTest>

#include <sys/stat.h>

using namespace velmora;

namespace {

// German-style date texts whatever the machine's locale.
class FixedFormats : public ILocaleFormats {
public:
    LocaleFormats Formats() override { return GermanStyleFormats(); }
};

// The real file times with a clock the test sets.
class FixedClockTimes : public IFileTimes {
public:
    explicit FixedClockTimes(IFileTimes& real) : m_real(real) {}
    TDateTime now = EncodeDateTime({2024, 5, 17, 9, 41, 13, 250});
    std::optional<TDateTime> ModificationTime(const std::string& p) override { return m_real.ModificationTime(p); }
    std::optional<TDateTime> LastAccessTime(const std::string& p) override { return m_real.LastAccessTime(p); }
    Result<void> SetModificationTime(const std::string& p, TDateTime t) override
    {
        return m_real.SetModificationTime(p, t);
    }
    Result<void> SetAccessAndModificationTime(const std::string& p, TDateTime t) override
    {
        return m_real.SetAccessAndModificationTime(p, t);
    }
    TDateTime Now() override { return now; }

private:
    IFileTimes& m_real;
};

class FakeDesktopSettings : public IDesktopSettings {
public:
    bool starts = false;
    int calls = 0;
    bool OpenDefaultApps() override
    {
        ++calls;
        return starts;
    }
};

// Each fixed wait gives the children the test started a moment to end, so the in-use
// test after the waits sees the ended ones gone, as the real 200 ms normally do.
class ReapingWaiter : public IWaiter {
public:
    std::vector<test::ChildProcess*> children;
    int waits = 0;
    void Wait(std::chrono::milliseconds) override
    {
        ++waits;
        for (test::ChildProcess* child : children)
            child->WaitForEnd(std::chrono::seconds(2));
    }
    std::chrono::milliseconds TimerInterval(std::chrono::milliseconds) const override
    {
        return std::chrono::milliseconds(0);
    }
};

struct Fixture {
    std::unique_ptr<PlatformBackend> backend = CreateNativePlatform();
    Platform platform = backend->Services();
    FixedFormats formats;
    FixedClockTimes times{*backend->Services().times};
    FakeDesktopSettings desktop;
    ReapingWaiter waiter;
    test::TempDir dir;
    std::unique_ptr<TFormLock> window;

    Fixture()
    {
        platform.localeFormats = &formats;
        platform.times = &times;
        platform.desktopSettings = &desktop;
        window = std::make_unique<TFormLock>(AppContext{platform, waiter});
        window->ClearFileView();
    }

    // Shows a file as a drop would.
    std::string Show(const std::filesystem::path& path)
    {
        window->WMDropFiles({QString::fromStdString(path.string())});
        return path.string();
    }
};

QString ShownTexts()
{
    QStringList texts;
    for (const ShownMessage& m : DialogHook::Shown())
        texts << m.caption + QStringLiteral(": ") + m.text;
    return texts.join(QStringLiteral(" | "));
}

timespec ModifiedAt(const std::string& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mtim;
}

timespec AccessedAt(const std::string& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_atim;
}

void SetTimes(const std::string& path, time_t access, time_t modified)
{
    const timespec times[2] = {{access, 0}, {modified, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

} // namespace

class FileCommandsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }
    void cleanup() { DialogHook::Disable(); }

    void attributesAreWrittenAsTheBoxesStandAndReinspected()
    {
        Fixture f;
        const std::string path = (f.dir / "notes.txt").string();
        test::WriteFile(path, "x");
        f.Show(path);
        f.window->Edit1->setText(QStringLiteral("  ") + QString::fromStdString(path) + QStringLiteral(" "));
        f.window->CheckBox2->setChecked(true);
        f.window->CheckBox4->setChecked(true);
        f.window->ToolButton4->click();

        QCOMPARE(f.platform.attributes->ReadAttributes(path).value_or(0xFFFF) & kSettableAttributes,
                 kAttributeArchive | kAttributeHidden);
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Attributes changed"));
        QCOMPARE(DialogHook::Shown().back().icon, MsgIcon::Information);
        QCOMPARE(f.waiter.waits, 1);

        // German, and clearing every box leaves none of the four.
        DialogHook::Reset();
        f.window->Language = kGerman;
        for (QCheckBox* box : {f.window->CheckBox2, f.window->CheckBox3, f.window->CheckBox4, f.window->CheckBox5}) {
            box->setChecked(false);
        }
        f.window->ToolButton4->click();
        QCOMPARE(f.platform.attributes->ReadAttributes(path).value_or(0xFFFF) & kSettableAttributes, 0u);
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Attribute geändert"));
    }

    void attributesAfterTheWriteAreWhatTheFileReallyHas()
    {
        Fixture f;
        // A dot name stays hidden: clearing Hidden is refused with its reason, nothing is
        // written, and the re-inspection ticks the box the user cleared.
        const std::string dotName = (f.dir / ".profile").string();
        test::WriteFile(dotName, "x");
        f.Show(dotName);
        QVERIFY(f.window->CheckBox4->isChecked());
        f.window->CheckBox4->setChecked(false);
        f.window->CheckBox3->setChecked(true);
        f.window->ToolButton4->click();
        QVERIFY(f.window->CheckBox4->isChecked());
        QCOMPARE(f.platform.attributes->ReadAttributes(dotName).value_or(0) & kAttributeReadOnly, 0u);
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Hidden cannot be cleared: a name that begins with a dot is always "
                                              "hidden. Rename the file to show it. Nothing was changed."));
        QCOMPARE(DialogHook::Shown().back().icon, MsgIcon::Error);
        // With Hidden kept, the other boxes are written as usual.
        DialogHook::Reset();
        f.window->ToolButton4->click();
        QCOMPARE(f.platform.attributes->ReadAttributes(dotName).value_or(0) & kAttributeReadOnly, kAttributeReadOnly);
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Attributes changed"));

        // A write the system refuses shows no message; the view shows what the file has.
        struct RefusingAttributes : IFileAttributes {
            IFileAttributes* real = nullptr;
            std::optional<std::uint32_t> ReadAttributes(const std::string& path) override
            {
                return real->ReadAttributes(path);
            }
            Result<void> WriteAttributes(const std::string& path, std::uint32_t) override
            {
                return Fail(ErrorFromErrno(EROFS, path, kWriteAttributesFailed));
            }
        } refusing;
        refusing.real = f.platform.attributes;
        f.platform.attributes = &refusing;
        DialogHook::Reset();
        const std::string plain = (f.dir / "plain.txt").string();
        test::WriteFile(plain, "x");
        f.window->ClearFileView();
        f.Show(plain);
        f.window->CheckBox5->setChecked(true);
        f.window->ToolButton4->click();
        QVERIFY(DialogHook::Shown().empty());
        QCOMPARE(refusing.ReadAttributes(plain).value_or(0xFFFF) & kAttributeSystem, 0u);
        QCOMPARE(f.waiter.waits, 3); // one wait after each of the three saves
    }

    void attributesOfNoFileAreLeftAlone()
    {
        Fixture f;
        for (const QString& path : {QString(), QString::fromStdString(f.dir.path().string()),
                                    QString::fromStdString((f.dir / "missing").string())}) {
            f.window->Edit1->setText(path);
            f.window->CheckBox4->setChecked(true);
            f.window->ToolButton4->click();
        }
        QVERIFY(DialogHook::Shown().empty());
        QCOMPARE(f.waiter.waits, 0);
    }

    void fileDateTakesTheEnteredTextThroughThePackedDate_data()
    {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("stored"); // empty: the file keeps its date
        QTest::newRow("date and time") << "17.05.2024 14:03:27"
                                       << "17.05.2024 14:03:26";
        QTest::newRow("date alone") << "17.05.2024"
                                    << "17.05.2024";
        QTest::newRow("time alone") << "14:03:27"
                                    << "";
        QTest::newRow("before 1980") << "31.12.1979 23:59:59"
                                     << "";
        QTest::newRow("after 2107") << "01.01.2108"
                                    << "";
        QTest::newRow("odd seconds") << "17.05.2024 09:41:13"
                                     << "17.05.2024 09:41:12";
    }

    void fileDateTakesTheEnteredTextThroughThePackedDate()
    {
        QFETCH(QString, entered);
        QFETCH(QString, stored);
        Fixture f;
        const std::string path = (f.dir / "report.odt").string();
        test::WriteFile(path, "x");
        const time_t oldAccess = 1'000'000'000;   // 2001-09-09
        const time_t oldModified = 1'100'000'000; // 2004-11-09
        SetTimes(path, oldAccess, oldModified);
        f.Show(path);
        const QString oldText = QString::fromStdString(
            FormatDateTimeText(f.platform.times->ModificationTime(path).value_or(0), GermanStyleFormats()));

        DialogHook::PushText(entered);
        f.window->SpeedButton3->click();

        QVERIFY2(DialogHook::Shown().empty(), qPrintable(ShownTexts()));
        QCOMPARE(DialogHook::AskedTexts(), QStringList{QStringLiteral("New file date")});
        if (stored.isEmpty()) {
            QCOMPARE(ModifiedAt(path).tv_sec, oldModified);
            QCOMPARE(f.window->EditDate1->text(), oldText);
        } else {
            QCOMPARE(f.window->EditDate1->text(), stored);
            const std::optional<TDateTime> parsed = ParseDateTimeText(stored.toStdString(), GermanStyleFormats());
            QVERIFY(parsed);
            QCOMPARE(f.platform.times->ModificationTime(path).value_or(0), *parsed);
        }
        QCOMPARE(AccessedAt(path).tv_sec, oldAccess);
    }

    void fileDateRefusesCancelsAndReportsBadText()
    {
        Fixture f;
        const std::string path = (f.dir / "a.txt").string();
        test::WriteFile(path, "x");
        SetTimes(path, 1'000'000'000, 1'100'000'000);
        f.Show(path);

        // Cancel leaves the file alone.
        DialogHook::PushText(std::nullopt);
        f.window->SpeedButton3->click();
        QCOMPARE(ModifiedAt(path).tv_sec, time_t{1'100'000'000});
        QVERIFY(DialogHook::Shown().empty());

        // Text that is no date: the German error in the standard error box, in either language.
        f.window->Language = kEnglish;
        DialogHook::PushText(QStringLiteral("abc"));
        f.window->SpeedButton3->click();
        QCOMPARE(ShownTexts(), QStringLiteral("Velmora: ''abc'' ist keine gültige Datums-/Zeitangabe"));
        QCOMPARE(ModifiedAt(path).tv_sec, time_t{1'100'000'000});

        // A ticked "Read only" box refuses, even unsaved; so does the in-use mark.
        DialogHook::Reset();
        f.window->CheckBox3->setChecked(true);
        f.window->SpeedButton3->click();
        f.window->CheckBox3->setChecked(false);
        f.window->Language = kGerman;
        f.window->ImageJa3->setVisible(true);
        f.window->SpeedButton3->click();
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Cannot edit file date! File in use or read only. | "
                                              "ZaDI: Dateidatum kann nicht geändert werden! Datei in Benutzung oder "
                                              "schreibgeschützt."));
        QCOMPARE(DialogHook::Shown().front().icon, MsgIcon::Error);
        QVERIFY(DialogHook::AskedTexts().isEmpty());
    }

    void terminationEndsTheHolderAndClearsOnlyTheInUseMark()
    {
        Fixture f;
        const std::string path = (f.dir / "held.txt").string();
        test::WriteFile(path, "x");
        const std::string program = test::CopyProgram("/bin/sleep", f.dir / test::UniqueName("velmora-viewer"));
        test::ChildProcess holder(program, {"60"}, path);
        test::ChildProcess second(program, {"60"}, path);
        f.waiter.children = {&holder, &second};
        f.Show(path);
        QVERIFY(f.platform.usage->IsFileLocked(path));
        f.window->ImageJa3->setVisible(true);
        f.window->Label5->setVisible(true);
        f.window->EditLApp->setText(QString::fromStdString(program));
        const QString name = QString::fromStdString(std::filesystem::path(program).filename().string());
        f.window->EditDefApp->setText(name.toUpper());
        f.window->EditGr->setText(QStringLiteral("kept"));

        f.window->SpeedButton4->click();

        QCOMPARE(holder.WaitForEnd(), SIGKILL);
        QCOMPARE(second.WaitForEnd(), SIGKILL);
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Application terminated"));
        QCOMPARE(DialogHook::Shown().back().icon, MsgIcon::Information);
        QVERIFY(f.window->ImageJa3->isHidden());
        QVERIFY(f.window->Label5->isHidden());
        QCOMPARE(f.window->EditGr->text(), QStringLiteral("kept"));
    }

    void terminationNeverEndsAShellBehindTheDefaultApplication()
    {
        Fixture f;
        // A throw-away desktop whose only text application runs through "bash -c".
        const std::filesystem::path data = f.dir / "data";
        std::filesystem::create_directories(data / "applications");
        std::filesystem::create_directory_symlink("/usr/share/mime", data / "mime");
        std::filesystem::create_directories(f.dir / "bin");
        const std::filesystem::path viewer = f.dir / "bin" / test::UniqueName("realview");
        test::WriteFile(viewer, "#!/bin/sh\nexit 0\n");
        std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
        const auto writeEntry = [&](const std::string& exec) {
            test::WriteFile(data / "applications" / "shellview.desktop",
                            "[Desktop Entry]\nType=Application\nName=V\nExec=" + exec + "\nMimeType=text/plain;\n");
        };
        const QByteArray oldPath = qgetenv("PATH");
        const std::pair<const char*, std::string> variables[] = {
            {"XDG_CONFIG_HOME", (f.dir / "config").string()},
            {"XDG_CONFIG_DIRS", (f.dir / "etc").string()},
            {"XDG_DATA_HOME", (f.dir / "home").string()},
            {"XDG_DATA_DIRS", data.string()},
            {"XDG_CURRENT_DESKTOP", ""},
            {"PATH", (f.dir / "bin").string() + ":" + oldPath.toStdString()}};
        for (const auto& [name, value] : variables)
            qputenv(name, QByteArray::fromStdString(value));

        // A shell of the user's that runs while the button is pressed.
        const std::string file = (f.dir / "notes.txt").string();
        test::WriteFile(file, "x");
        test::ChildProcess shell("/bin/bash", {"-c", "sleep 60; true"});
        QVERIFY(shell.Running());

        // The line names its program behind the shell: that program is shown and looked for.
        writeEntry("bash -c \"" + viewer.filename().string() + " --view %f\"");
        f.Show(file);
        QCOMPARE(f.window->EditLApp->text(), QString::fromStdString(viewer.string()));
        QCOMPARE(f.window->EditDefApp->text(), QString::fromStdString(viewer.filename().string()));
        f.window->SpeedButton4->click();
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Application not running"));
        QVERIFY(shell.Running());

        // A line that names no program keeps its shell, which is refused by name.
        DialogHook::Reset();
        writeEntry("bash -c \"" + viewer.filename().string() + " %f | cat\"");
        f.window->ClearFileView();
        f.Show(file);
        QVERIFY(f.window->EditLApp->text().endsWith(QStringLiteral("/bash")));
        f.window->SpeedButton4->click();
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].icon, MsgIcon::Error);
        QVERIFY(DialogHook::Shown()[0].text.startsWith(QStringLiteral("'bash' is a shell, interpreter or launcher")));
        QVERIFY(shell.Running());

        qputenv("PATH", oldPath);
        for (const char* name :
             {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"}) {
            qunsetenv(name);
        }
    }

    void terminationOfNothingRunningFails()
    {
        Fixture f;
        const std::string path = (f.dir / "free.txt").string();
        test::WriteFile(path, "x");
        f.window->Edit1->setText(QString::fromStdString(path));
        f.window->Language = kGerman;
        f.window->EditLApp->setText(QString::fromStdString((f.dir / test::UniqueName("not-running")).string()));
        f.window->EditDefApp->setText(QStringLiteral("undefined"));
        f.window->ImageJa3->setVisible(true);
        f.window->SpeedButton4->click();
        QCOMPARE(ShownTexts(), QStringLiteral("ZaDI: Anwendung nicht aktiv"));
        QCOMPARE(DialogHook::Shown().back().icon, MsgIcon::Error);
        QVERIFY(f.window->ImageJa3->isHidden());

        // A blank associated field does nothing at all.
        DialogHook::Reset();
        f.window->EditLApp->setText(QStringLiteral("  "));
        f.window->ImageJa3->setVisible(true);
        f.window->SpeedButton4->click();
        QVERIFY(DialogHook::Shown().empty());
        QVERIFY(!f.window->ImageJa3->isHidden());
    }

    void defaultAppsFailureIsAnEnglishErrorDialog()
    {
        Fixture f;
        f.window->Language = kGerman;
        f.window->ButtonDefaults->click();
        f.desktop.starts = true;
        f.window->ButtonDefaults->click();
        QCOMPARE(f.desktop.calls, 2);
        QCOMPARE(ShownTexts(), QStringLiteral("Fehler: Running computer defaults failed!"));
    }
};

QTEST_MAIN(FileCommandsWindowTest)
#include "FileCommandsWindowTest.moc"
