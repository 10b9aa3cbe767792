#include "FakePlatformFixture.h"
#include "TestSupport.h"
#include "app/AppWindows.h"
#include "app/MainTexts.h"
#include "app/unlockpas.h"
#include "info/ProductLinks.h"
#include "info/UnitStartscreen.h"
#include "ui/Messages.h"

#include <QMimeData>
#include <QUrl>
#include <QtTest>

using namespace velmora;

class MainWindowTest : public QObject {
    Q_OBJECT

    struct Fixture : test::FakePlatformFixture {
        std::unique_ptr<AppWindows> windows;

        Fixture()
        {
            std::filesystem::create_directories(dir / "bin");
            std::filesystem::create_directories(dir / "config");
            std::filesystem::create_directories(dir / "root");
            env.temp = (dir / "tmp").string();
            env.appData = (dir / "config").string();
            env.root = (dir / "root").string() + "/";
        }
        std::filesystem::path SettingsFile() const { return dir / "config" / "tessaly" / "tessaly.ini"; }
        void WriteSettings(std::string_view bytes)
        {
            std::filesystem::create_directories(dir / "config" / "tessaly");
            test::WriteFile(SettingsFile(), bytes);
        }
        TFormLock& Start()
        {
            windows = CreateAppWindows({platform, waiter});
            windows->FormLock->show();
            return *windows->FormLock;
        }
    };

    static QString TextOf(TFormLock& window, const velmora::ControlText& entry)
    {
        QWidget* w = window.findChild<QWidget*>(QLatin1String(entry.control));
        if (w == nullptr) return QStringLiteral("<missing>");
        if (entry.target == TextTarget::Hint) return w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
        return QStringLiteral("<no text>");
    }

    static void ExpectLanguage(TFormLock& window, bool english)
    {
        for (const velmora::ControlText& entry : MainWindowTexts()) {
            QCOMPARE(TextOf(window, entry), QString::fromUtf8(english ? entry.text.english : entry.text.german));
        }
        QCOMPARE(window.LanguageImageIndex(), english ? 13 : 14);
        QVERIFY(window.HelpFile.ends_with(english ? "tessalye.html" : "tessalyd.html"));
        // Texts that stay the same in both languages.
        QCOMPARE(window.Label5->text(), QStringLiteral("In Use"));
        QCOMPARE(window.CheckBox5->text(), QStringLiteral("System"));
        QCOMPARE(window.ToolButtonUpdate->toolTip(), QStringLiteral("Updates"));
        QCOMPARE(window.ToolButtonInfo->toolTip(), QStringLiteral("Info"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmora"));
    }

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }

    void startUpRunsInOrderWithTheStoredLanguage()
    {
        Fixture f;
        f.WriteSettings("0\r\n");
        TFormLock& window = f.Start();

        QCOMPARE(f.windows->creationOrder,
                 (QStringList{"TFormLock", "TFormFolder", "TFormZip", "TFormLink", "TAboutBox", "TFormFreeware"}));
        QVERIFY(window.isVisible());
        QCOMPARE(window.Language, 0);
        // The start screen got the loaded language and the title before it was shown.
        QCOMPARE(f.windows->FormFreeware->Language, 0);
        QCOMPARE(f.windows->FormFreeware->LabelTitle->text(), QStringLiteral("Velmora"));
        QVERIFY(!f.windows->FormFreeware->isVisible());
        ExpectLanguage(window, false);
        // The root was writable: no warning, no test file left behind.
        QVERIFY(DialogHook::Shown().empty());
        QVERIFY(!std::filesystem::exists(f.dir / "root" / "adtest.txt"));
        // The updater was started with "<program file name> false", then the timer switched on.
        QCOMPARE(f.shell.calls.size(), std::size_t(1));
        QCOMPARE(f.shell.calls[0].args,
                 (std::vector<std::string>{(f.dir / "bin" / "checkup").string(), "velmora", "false"}));
        QVERIFY(window.TimerUpdate->isActive());
        QVERIFY(window.Edit1->text().isEmpty());
        QVERIFY(!window.ImageJa3->isVisible());
        QCOMPARE(window.LabelBytes->text(), QStringLiteral("Bytes"));
        // Nothing is written before the window closes.
        QCOMPARE(QString::fromStdString(test::ReadFile(f.SettingsFile())), QStringLiteral("0\r\n"));
    }

    void firstRunCreatesTheDataFolderAndSavesAtClose()
    {
        Fixture f;
        TFormLock& window = f.Start();
        QCOMPARE(window.Language, 1);
        ExpectLanguage(window, true);
        QVERIFY(std::filesystem::is_directory(f.dir / "config" / "tessaly"));
        QVERIFY(!std::filesystem::exists(f.SettingsFile()));
        window.ToolButtonLang->click();
        window.ButtonClose->click();
        QVERIFY(!window.isVisible());
        QCOMPARE(QString::fromStdString(test::ReadFile(f.SettingsFile())), QStringLiteral("0\r\n"));
    }

    void firstStartWithoutAConfigurationFolderCreatesItPrivately()
    {
        Fixture f;
        f.env.appData = (f.dir / "home" / ".config").string();
        TFormLock& window = f.Start();
        QVERIFY(DialogHook::Shown().empty());
        ExpectLanguage(window, true);
        for (const auto& made : {f.dir / "home", f.dir / "home" / ".config", f.dir / "home" / ".config" / "tessaly"}) {
            QVERIFY(std::filesystem::is_directory(made));
            QCOMPARE(std::filesystem::status(made).permissions(), std::filesystem::perms::owner_all);
        }
        QVERIFY(f.shell.calls.size() == 1); // the sequence ran to its end: the updater was started
    }

    void openButtonSitsBesideThePathField()
    {
        Fixture f;
        TFormLock& window = f.Start();
        QCOMPARE(window.SpeedButton2->geometry(), QRect(416, 33, 28, 29));
        QCOMPARE(window.SpeedButton2->parentWidget(), window.GroupBox1);
    }

    void missingRightsWarnInTheLoadedLanguage()
    {
        Fixture f;
        f.WriteSettings("0");
        f.env.root = (f.dir / "no-such-root").string() + "/";
        TFormLock& window = f.Start();
        QVERIFY(window.isVisible());
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        const ShownMessage& warning = DialogHook::Shown()[0];
        QCOMPARE(warning.caption, QStringLiteral("Warnung"));
        QCOMPARE(warning.icon, MsgIcon::Warning);
        QCOMPARE(warning.text, QString::fromUtf8(MainMessages::kAdminWarning.german));
    }

    void languageSwitchCoversEveryTextByButtonAndKeys()
    {
        Fixture f;
        f.WriteSettings("2\r\n");
        TFormLock& window = f.Start();
        QCOMPARE(window.Language, 2);
        ExpectLanguage(window, true);

        window.ToolButtonLang->click();
        QCOMPARE(window.Language, 0);
        ExpectLanguage(window, false);
        QCOMPARE(window.ProductPage, std::string(kProductPage.german));

        QTest::keyClick(window.Edit1, Qt::Key_F2);
        QCOMPARE(window.Language, 1);
        ExpectLanguage(window, true);
        QCOMPARE(window.ProductPage, std::string(kProductPage.english));

        QTest::keyClick(&window, Qt::Key_F2, Qt::ShiftModifier);
        QCOMPARE(window.Language, 0);
        ExpectLanguage(window, false);

        QTest::keyClick(&window, Qt::Key_F1);
        QCOMPARE(f.shell.calls.back().what, std::string("help"));
        QCOMPARE(f.shell.calls.back().args,
                 (std::vector<std::string>{(f.dir / "bin" / "tessalyd.html").string(), "1"}));
    }

    void f3ShowsTheReleaseText()
    {
        Fixture f;
        TFormLock& window = f.Start();
        QTest::keyClick(&window, Qt::Key_F3);
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].text, QStringLiteral("Release 2.0"));
        QCOMPARE(DialogHook::Shown()[0].buttons, MsgButtons::Ok);
    }

    void onlyTheFirstDroppedFileIsShown()
    {
        Fixture f;
        TFormLock& window = f.Start();
        const QString first = QString::fromStdString((f.dir / "A File.TXT").string());
        test::WriteFile(first.toStdString(), "x");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(QStringLiteral("/tmp/second")),
                      QUrl::fromLocalFile(QStringLiteral("/tmp/third"))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(window.Edit1->text(), first);
    }

    void openFileKeepsTheCaseAndCancelChangesNothing()
    {
        Fixture f;
        TFormLock& window = f.Start();
        window.Edit1->setText(QStringLiteral("typed"));
        DialogHook::PushText(std::nullopt);
        window.SpeedButton2->click();
        QCOMPARE(window.Edit1->text(), QStringLiteral("typed"));
        DialogHook::PushText(QStringLiteral("/Data/ÄRGER.TXT"));
        window.SpeedButton2->click();
        QCOMPARE(window.Edit1->text(), QStringLiteral("/Data/ÄRGER.TXT"));
    }

    void unreadableSettingsStopTheSequenceButShowTheWindow()
    {
        Fixture f;
        std::filesystem::create_directories(f.dir / "config" / "tessaly");
        std::filesystem::create_symlink("tessaly.ini", f.SettingsFile()); // a link loop: cannot be opened
        TFormLock& window = f.Start();
        QVERIFY(window.isVisible());
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].caption, QStringLiteral("Velmora"));
        QCOMPARE(DialogHook::Shown()[0].icon, MsgIcon::Error);
        QVERIFY(DialogHook::Shown()[0].text.contains(QStringLiteral("tessaly.ini")));
        // The later steps did not run: no start screen title, no updater. The window still
        // holds its English texts from its creation and shows no in-use mark.
        QVERIFY(f.windows->FormFreeware->LabelTitle->text().isEmpty());
        ExpectLanguage(window, true);
        QVERIFY(!window.ImageJa3->isVisible());
        QVERIFY(!window.Label5->isVisible());
        QVERIFY(f.shell.calls.empty());
        QVERIFY(!window.TimerUpdate->isActive());
    }

    void unwritableSettingsAtCloseAreReportedAndTheWindowCloses()
    {
        Fixture f;
        TFormLock& window = f.Start();
        // A folder where the file should go cannot be replaced by a file.
        std::filesystem::create_directories(f.SettingsFile());
        test::WriteFile(f.SettingsFile() / "keep", "x");
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].icon, MsgIcon::Error);
        QVERIFY(DialogHook::Shown()[0].text.contains(QStringLiteral("tessaly.ini")));
    }

    void image1ClickDoesNothingAndNewClearsTheView()
    {
        Fixture f;
        TFormLock& window = f.Start();
        window.Edit1->setText(QStringLiteral("/x"));
        window.CheckBox4->setChecked(true);
        window.LabelBytes->setText(QStringLiteral(" KB"));
        QTest::mouseClick(window.Image1, Qt::LeftButton);
        QCOMPARE(window.Edit1->text(), QStringLiteral("/x"));
        window.ToolButton6->click();
        QVERIFY(window.Edit1->text().isEmpty());
        QVERIFY(!window.CheckBox4->isChecked());
        QCOMPARE(window.LabelBytes->text(), QStringLiteral(" KB"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
