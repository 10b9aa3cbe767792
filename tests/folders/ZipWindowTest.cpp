#include "FakePlatform.h"
#include "TestSupport.h"
#include "archive/UnitZip.h"
#include "ui/Messages.h"

#include <QtTest>

using namespace velmora;
namespace fs = std::filesystem;

class ZipWindowTest : public QObject {
    Q_OBJECT

    struct Fixture {
        test::TempDir dir;
        test::FakeEnvironment env;
        test::RecordingShell shell;
        Platform platform;
        NoWaiter waiter;
        std::unique_ptr<TFormZip> window;

        Fixture()
        {
            env.program = (dir / "bin" / "velmora").string();
            platform.environment = &env;
            platform.shell = &shell;
            window = std::make_unique<TFormZip>(AppContext{platform, waiter});
        }
        QString Path(const std::string& name) const { return QString::fromStdString((dir / name).string()); }
    };

    static QString LastText() { return DialogHook::Shown().empty() ? QString() : DialogHook::Shown().back().text; }

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }

    void passwordFieldSwitchesBetweenProtectAndZip()
    {
        Fixture f;
        f.window->Sprache = 1;
        f.window->show();
        QCOMPARE(f.window->EditPass->text(), QStringLiteral("lockerbin7"));
        QCOMPARE(f.window->ZipImageIndex(), 0);
        QCOMPARE(f.window->ToolButtonZip->toolTip(), QStringLiteral("Protect folder"));

        f.window->SpeedButtonPass->click();
        QVERIFY(f.window->EditPass->text().isEmpty());
        QCOMPARE(f.window->ZipImageIndex(), 3);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(f.window->ToolButtonZip, &enter);
        QCOMPARE(f.window->ToolButtonZip->toolTip(), QStringLiteral("Zip folder"));

        QTest::keyClicks(f.window->EditPass, QStringLiteral("   "));  // blanks only count as empty
        QCOMPARE(f.window->ZipImageIndex(), 3);
        QTest::keyClicks(f.window->EditPass, QStringLiteral("x"));
        QCOMPARE(f.window->ZipImageIndex(), 0);
        f.window->Sprache = 0;
        QApplication::sendEvent(f.window->ToolButtonZip, &enter);
        QCOMPARE(f.window->ToolButtonZip->toolTip(), QStringLiteral("Ordner schützen"));
    }

    void choosersFillTheFields()
    {
        Fixture f;
        fs::create_directories(f.dir / "Data" / "Old");
        f.window->show();

        DialogHook::PushText(f.Path("Data/Old"));
        f.window->SpeedButton2->click();
        QCOMPARE(f.window->Edit1->text(), f.Path("Data/Old"));
        QCOMPARE(f.window->Edit3->text(), f.Path("Data/Old.zip"));
        DialogHook::PushText(std::nullopt);  // cancelled
        f.window->SpeedButton2->click();
        QCOMPARE(f.window->Edit1->text(), f.Path("Data/Old"));

        // The zip-file chooser: only an empty folder field is filled, without the first ".zip".
        struct Case {
            QString chosen;
            QString folderBefore;
            QString folderAfter;
        };
        const Case cases[] = {
            {QStringLiteral("/Backup/Old.ZIP"), QString(), QStringLiteral("/Backup/Old")},
            {QStringLiteral("/x.zip.d/a.zip"), QStringLiteral("  "), QStringLiteral("/x.d/a.zip")},
            {QStringLiteral("/Backup/Old.zip"), QStringLiteral("/keep"), QStringLiteral("/keep")},
        };
        for (const Case& c : cases) {
            f.window->Edit1->setText(c.folderBefore);
            DialogHook::PushText(c.chosen);
            f.window->SpeedButton4->click();
            QCOMPARE(f.window->Edit3->text(), c.chosen);
            QCOMPARE(f.window->Edit1->text(), c.folderAfter);
        }

        // New empties the folder and zip name; the password stays, also across showings.
        f.window->EditPass->setText(QStringLiteral("secret"));
        f.window->ToolButtonNew->click();
        QVERIFY(f.window->Edit1->text().isEmpty() && f.window->Edit3->text().isEmpty());
        f.window->Edit1->setText(QStringLiteral("/a"));
        f.window->LabelTask->setText(QStringLiteral("old status"));
        f.window->ButtonClose->click();
        f.window->show();
        QCOMPARE(f.window->Edit1->text(), QStringLiteral("/a"));
        QCOMPARE(f.window->EditPass->text(), QStringLiteral("secret"));
        QVERIFY(f.window->LabelTask->text().isEmpty());

        QTest::keyClick(f.window->Edit1, Qt::Key_F1);
        QCOMPARE(f.shell.calls.back().args, (std::vector<std::string>{(f.dir / "bin" / "tessalye.html").string(), "2"}));
    }

    void protectRefusesWhatWouldLoseData()
    {
        Fixture f;
        fs::create_directories(f.dir / "F" / "Sub");
        test::WriteFile(f.dir / "F" / "one.txt", "one");
        test::WriteFile(f.dir / "F" / "Sub.zip", "my own file");
        test::WriteFile(f.dir / "F.zip", "an older archive");
        f.window->show();
        f.window->Edit1->setText(f.Path("F"));

        // A zip path inside the folder.
        f.window->Edit3->setText(f.Path("F/inside.zip"));
        f.window->ToolButtonZip->click();
        QCOMPARE(LastText(), QStringLiteral("Foldewr not found or invalid output name!"));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Fehler"));
        QVERIFY(!f.window->IsBusy());
        QVERIFY(f.window->LabelTask->text().isEmpty());

        // An existing archive, answered No; then a subfolder archive's name, answered No.
        f.window->Edit3->setText(f.Path("F.zip"));
        DialogHook::PushAnswer(MsgAnswer::No);
        f.window->ToolButtonZip->click();
        QCOMPARE(LastText(), f.Path("F.zip") + QStringLiteral(" already exists. Overwrite?"));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Velmora"));
        DialogHook::PushAnswer(MsgAnswer::Yes);
        DialogHook::PushAnswer(MsgAnswer::No);
        f.window->ToolButtonZip->click();
        QCOMPARE(LastText(), f.Path("F/Sub.zip") + QStringLiteral(" already exists. Overwrite?"));
        QVERIFY(!f.window->IsBusy());
        QCOMPARE(test::ReadFile(f.dir / "F.zip"), std::string("an older archive"));
        QCOMPARE(test::ReadFile(f.dir / "F" / "Sub.zip"), std::string("my own file"));
        QVERIFY(fs::is_directory(f.dir / "F" / "Sub"));

        // An empty folder field runs the folder chooser instead.
        f.window->Edit1->setText(QStringLiteral("  "));
        f.window->ToolButtonZip->click();
        QCOMPARE(DialogHook::AskedTexts().back(), QStringLiteral("Select folder"));
    }

    void unzipChecksItsInputFirst()
    {
        Fixture f;
        f.window->show();
        f.window->Edit3->clear();
        f.window->ToolButtonDel->click();
        QVERIFY(DialogHook::Shown().empty());

        f.window->Edit3->setText(f.Path("missing.zip"));
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), QStringLiteral("Zip file not found!"));

        test::WriteFile(f.dir / "a.zip", "PK");
        f.window->Edit3->setText(f.Path("a.zip"));
        f.window->Edit1->clear();
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), QStringLiteral("Foldewr not found or invalid output name!"));

        // An existing target is asked about; No ends the command.
        fs::create_directories(f.dir / "T");
        f.window->Edit1->setText(f.Path("T"));
        DialogHook::PushAnswer(MsgAnswer::No);
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), f.Path("T") + QStringLiteral(" already exists. Overwrite?"));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Informationen"));
        DialogHook::PushAnswer(MsgAnswer::Yes);
        DialogHook::PushAnswer(MsgAnswer::No);
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), f.Path("a.zip") + QStringLiteral(" unzip to ") + f.Path("T") + QStringLiteral(" ?"));
        QVERIFY(!f.window->IsBusy());
    }
};

QTEST_MAIN(ZipWindowTest)
#include "ZipWindowTest.moc"
