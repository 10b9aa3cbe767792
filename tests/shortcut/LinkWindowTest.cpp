#include "FakePlatformFixture.h"
#include "LnkInfo.h"
#include "TestSupport.h"
#include "shortcut/ShellLinkWriter.h"
#include "shortcut/UnitLink.h"
#include "ui/Messages.h"

#include <QtTest>

#include <filesystem>

using namespace velmora;
namespace fs = std::filesystem;

class LinkWindowTest : public QObject {
    Q_OBJECT

    struct Fixture : test::FakePlatformFixture {
        std::unique_ptr<TFormLink> window;

        explicit Fixture(std::int32_t language = 1)
        {
            window = std::make_unique<TFormLink>(AppContext{platform, waiter});
            window->CurLanguage = language;
        }
        // What the main window does before each showing.
        void Open(const QString& target)
        {
            window->EditProg->setText(target);
            window->show();
        }
        QString Path(const char* name) const { return QString::fromStdString((dir / name).string()); }
        std::vector<std::string> FolderCalls() const
        {
            std::vector<std::string> folders;
            for (const auto& call : shell.calls) {
                if (call.what == "folder") folders.push_back(call.args.at(0));
            }
            return folders;
        }
    };

    static void ExpectOnlyMessage(const QString& caption, const QString& text)
    {
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].caption, caption);
        QCOMPARE(DialogHook::Shown()[0].text, text);
    }

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }

    void showingStartsANewRequestInTheWindowsLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("progLabel");
        QTest::addColumn<QString>("create");
        QTest::addColumn<QString>("paramHint");
        QTest::newRow("English") << 1 << "Link"
                                 << "Link target (program.exe)"
                                 << "Create"
                                 << "Select file to open on program startup (optional)";
        QTest::newRow("any non-zero is English") << 7 << "Link"
                                                 << "Link target (program.exe)"
                                                 << "Create"
                                                 << "Select file to open on program startup (optional)";
        QTest::newRow("German") << 0 << "Verknüpfung"
                                << "Verknüpfungsziel (Programm.exe)"
                                << "Erstellen"
                                << "Datei auswählen, die beim Programmstart geladen werden soll (optional)";
    }
    void showingStartsANewRequestInTheWindowsLanguage()
    {
        QFETCH(int, language);
        Fixture f(language);
        f.window->EditLinkFolder->setText(QStringLiteral("/old/request.lnk"));
        f.window->EditParameter->setText(QStringLiteral("old parameter"));
        f.Open(QStringLiteral("  D:\\Tools\\app.exe "));
        QTEST(f.window->windowTitle(), "caption");
        QTEST(f.window->EditProgLabel->text(), "progLabel");
        QTEST(f.window->ButtonCreateLink->text(), "create");
        QTEST(f.window->ButtonParam->toolTip(), "paramHint");
        QCOMPARE(f.window->EditLinkFolder->text(), QStringLiteral("D:\\Tools\\app.lnk"));
        QVERIFY(f.window->EditParameter->text().isEmpty());

        // Shown again without a current file: all three fields are empty.
        f.window->hide();
        f.Open(QString());
        QVERIFY(f.window->EditLinkFolder->text().isEmpty());
        QVERIFY(f.window->EditParameter->text().isEmpty());
    }

    void missingInformationWritesNothing_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("message");
        QTest::newRow("no target") << 1 << ""
                                   << "x.lnk"
                                   << "Missing information!";
        QTest::newRow("blank link, German") << 0 << "/bin/true"
                                            << "   "
                                            << "Unvollständige Angaben!";
    }
    void missingInformationWritesNothing()
    {
        QFETCH(int, language);
        QFETCH(QString, target);
        QFETCH(QString, link);
        Fixture f(language);
        f.Open(target);
        f.window->EditLinkFolder->setText(link.trimmed().isEmpty() ? link : f.Path(qPrintable(link)));
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);
        QFETCH(QString, message);
        ExpectOnlyMessage(QStringLiteral("Fehler"), message);
        QVERIFY(fs::is_empty(f.dir.path()));
        QVERIFY(f.shell.calls.empty());
    }

    void createWritesTheShortcutAndShowsItsFolder()
    {
        Fixture f;
        f.Open(QStringLiteral("C:\\test\\a.txt"));
        // Typed without ".lnk": used as typed.
        f.window->EditLinkFolder->setText(f.Path("my link") + QStringLiteral("  "));
        f.window->EditParameter->setText(QStringLiteral(" C:\\one file.txt C:\\two.txt "));
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);

        ExpectOnlyMessage(QStringLiteral("Informationen"), QStringLiteral("Link created"));
        const test::LnkInfoResult info = test::RunLnkInfo((f.dir / "my link").string());
        QVERIFY2(info.ran, info.output.c_str());
        QCOMPARE(info.localPath, std::string("C:\\test\\a.txt"));
        QCOMPARE(info.arguments, std::string("\"C:\\one file.txt C:\\two.txt\""));
        QCOMPARE(f.FolderCalls(), std::vector<std::string>{f.dir.path().string() + "/"});
        // The window stays open for further shortcuts.
        QVERIFY(f.window->isVisible());
    }

    void aLinkWithoutFolderGoesToTheCurrentFolder()
    {
        Fixture f(0);
        const fs::path previous = fs::current_path();
        fs::current_path(f.dir.path());
        f.Open(QStringLiteral("/usr/bin/gedit"));
        f.window->EditLinkFolder->setText(QStringLiteral("gedit.lnk"));
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);
        fs::current_path(previous);
        ExpectOnlyMessage(QStringLiteral("Informationen"), QStringLiteral("Verknüpfung erstellt"));
        QVERIFY(HasShellLinkHeader(test::ReadFile(f.dir / "gedit.lnk")));
        QCOMPARE(f.FolderCalls(), std::vector<std::string>{f.dir.path().string() + "/"});
    }

    void aFailedSaveIsReportedInTheWindowsLanguage()
    {
        Fixture f(0);
        f.Open(QStringLiteral("/usr/bin/gedit"));
        f.window->EditLinkFolder->setText(f.Path("missing") + QStringLiteral("/gedit.lnk"));
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].caption, QStringLiteral("Fehler"));
        const QString text = DialogHook::Shown()[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("Die Verknüpfungsdatei konnte nicht geschrieben werden.\n")),
                 qPrintable(text));
        QVERIFY2(text.contains(f.Path("missing")) && text.contains(QStringLiteral("No such file")), qPrintable(text));
        QVERIFY(f.shell.calls.empty());
    }

    void anExistingFileIsReplacedOnlyWhenItIsAShortcutOrTheUserAgrees()
    {
        Fixture f;
        f.Open(QStringLiteral("/usr/bin/gedit"));
        const fs::path notes = f.dir / "notes.txt";
        test::WriteFile(notes, "my notes");
        f.window->EditLinkFolder->setText(QString::fromStdString(notes.string()));

        DialogHook::PushAnswer(MsgAnswer::No);
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].caption, QStringLiteral("Bestätigen"));
        QCOMPARE(DialogHook::Shown()[0].buttons, MsgButtons::YesNo);
        QCOMPARE(test::ReadFile(notes), std::string("my notes"));
        QVERIFY(f.shell.calls.empty());

        DialogHook::Reset();
        DialogHook::PushAnswer(MsgAnswer::Yes);
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);
        QCOMPARE(DialogHook::Shown().size(), std::size_t(2));
        QCOMPARE(DialogHook::Shown()[1].text, QStringLiteral("Link created"));
        QVERIFY(HasShellLinkHeader(test::ReadFile(notes)));

        // Now it is a shortcut: replaced without a question.
        DialogHook::Reset();
        f.window->EditProg->setText(QStringLiteral("/usr/bin/kate"));
        QTest::mouseClick(f.window->ButtonCreateLink, Qt::LeftButton);
        ExpectOnlyMessage(QStringLiteral("Informationen"), QStringLiteral("Link created"));
        QCOMPARE(test::RunLnkInfo(notes.string()).localPath, std::string("/usr/bin/kate"));
    }

    void fileButtonsFillTheirFields()
    {
        Fixture f;
        f.Open(QStringLiteral("/old/prog"));
        f.window->EditParameter->setText(QStringLiteral("kept"));

        DialogHook::PushText(QStringLiteral("/opt/My Tools/prog.bin"));
        QTest::mouseClick(f.window->ButtonOpen, Qt::LeftButton);
        QCOMPARE(f.window->EditProg->text(), QStringLiteral("/opt/My Tools/prog.bin"));
        QCOMPARE(f.window->EditLinkFolder->text(), QStringLiteral("/opt/My Tools/prog.lnk"));
        QCOMPARE(f.window->EditParameter->text(), QStringLiteral("kept"));

        // The parameter button puts the full path in, unquoted, and touches nothing else.
        DialogHook::PushText(QStringLiteral("/home/u/a b.txt"));
        QTest::mouseClick(f.window->ButtonParam, Qt::LeftButton);
        QCOMPARE(f.window->EditParameter->text(), QStringLiteral("/home/u/a b.txt"));
        QCOMPARE(f.window->EditProg->text(), QStringLiteral("/opt/My Tools/prog.bin"));

        DialogHook::PushText(QStringLiteral("/home/u/Desktop/Start.desktop"));
        QTest::mouseClick(f.window->ButtonSaveLink, Qt::LeftButton);
        QCOMPARE(f.window->EditLinkFolder->text(), QStringLiteral("/home/u/Desktop/Start.lnk"));

        // Cancelled dialogs change nothing.
        DialogHook::PushText(std::nullopt);
        DialogHook::PushText(std::nullopt);
        QTest::mouseClick(f.window->ButtonOpen, Qt::LeftButton);
        QTest::mouseClick(f.window->ButtonSaveLink, Qt::LeftButton);
        QCOMPARE(f.window->EditProg->text(), QStringLiteral("/opt/My Tools/prog.bin"));
        QCOMPARE(f.window->EditLinkFolder->text(), QStringLiteral("/home/u/Desktop/Start.lnk"));
        QVERIFY(DialogHook::Shown().empty());
    }

    void f1OpensHelpContextThreeAndCloseCloses()
    {
        Fixture f(0);
        f.Open(QString());
        QTest::keyClick(f.window->EditParameter, Qt::Key_F1);
        QCOMPARE(f.shell.calls.size(), std::size_t(1));
        QCOMPARE(f.shell.calls[0].what, std::string("help"));
        QCOMPARE(f.shell.calls[0].args, (std::vector<std::string>{(f.dir / "bin" / "tessalyd.html").string(), "3"}));
        QTest::keyClick(f.window->EditParameter, Qt::Key_A);
        QCOMPARE(f.window->EditParameter->text(), QStringLiteral("a"));

        QTest::mouseClick(f.window->ButtonCancel, Qt::LeftButton);
        QVERIFY(!f.window->isVisible());
    }
};

QTEST_MAIN(LinkWindowTest)
#include "LinkWindowTest.moc"
