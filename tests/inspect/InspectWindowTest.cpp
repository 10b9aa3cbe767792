#include "TestSupport.h"
#include "app/unlockpas.h"
#include "common/DateTimeText.h"
#include "platform/ILocaleFormats.h"
#include "ui/Messages.h"

#include <QtTest>

#include <filesystem>

using namespace velmora;
namespace fs = std::filesystem;

// The main window's view of real files, with the desktop's lists in a throw-away tree.
class InspectWindowTest : public QObject {
    Q_OBJECT

    test::TempDir m_xdg;
    std::unique_ptr<PlatformBackend> m_backend;
    NoWaiter m_waiter;
    std::unique_ptr<TFormLock> m_window;

    static bool Shown(QWidget* w) { return !w->isHidden(); }
    std::string ZeroDate() { return FormatDateTimeText(0, m_backend->Services().localeFormats->Formats()); }

private slots:
    void initTestCase()
    {
        const fs::path apps = m_xdg / "data" / "applications";
        fs::create_directories(apps);
        fs::create_directories(m_xdg / "config");
        test::WriteFile(apps / "viewer.desktop", "[Desktop Entry]\nType=Application\nName=V\nExec=cat %f\n"
                                                 "MimeType=text/plain;\n");
        test::WriteFile(apps / "mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n");
        // The MIME database is found through the same data folders as the applications.
        fs::create_directory_symlink("/usr/share/mime", m_xdg / "data" / "mime");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((m_xdg / "config").string()));
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString((m_xdg / "etc").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((m_xdg / "data-home").string()));
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString((m_xdg / "data").string()));
        qputenv("XDG_CURRENT_DESKTOP", "");
        m_backend = CreateNativePlatform();
        DialogHook::Enable();
    }

    void init()
    {
        DialogHook::Reset();
        m_window = std::make_unique<TFormLock>(AppContext{m_backend->Services(), m_waiter});
        m_window->ClearFileView();
    }

    void showsAnOrdinaryFile()
    {
        test::TempDir dir;
        const fs::path file = dir / "Notes.TXT";
        test::WriteFile(file, std::string(1025, 'x'));
        TFormLock& w = *m_window;
        w.InspectFile(QString::fromStdString(file.string()));

        QCOMPARE(w.LabelExt->text(), QStringLiteral(".TXT"));
        QVERIFY(w.EditLApp->text().endsWith(QStringLiteral("/cat")));
        QCOMPARE(w.EditDefApp->text(), QStringLiteral("cat"));
        QCOMPARE(w.EditGr->text(), QStringLiteral("2"));
        QCOMPARE(w.LabelBytes->text(), QStringLiteral(" KB"));
        QVERIFY(!w.EditDate1->text().isEmpty());
        QVERIFY(w.EditDate1->text().toStdString() != ZeroDate());
        QVERIFY(Shown(w.Image1) && Shown(w.LabelIcon));
        QVERIFY(!Shown(w.ImageJa3) && !Shown(w.Label5));
        QVERIFY(DialogHook::Shown().empty());

        // "New" empties the view but keeps the unit of the last file.
        w.ClearFileView();
        QCOMPARE(w.LabelBytes->text(), QStringLiteral(" KB"));
        QVERIFY(w.EditGr->text().isEmpty() && !Shown(w.Image1));
    }

    void inspectionOnlyAddsMarksAndTicks()
    {
        test::TempDir dir;
        const fs::path file = dir / "locked.txt";
        test::WriteFile(file, "x");
        fs::permissions(file, fs::perms::owner_read);
        TFormLock& w = *m_window;
        const QString path = QString::fromStdString(file.string());
        w.InspectFile(path);
        QVERIFY(Shown(w.ImageJa3) && Shown(w.Label5));
        QVERIFY(w.CheckBox3->isChecked());

        // Another program makes it writable again: a new inspection of the same path
        // neither clears the tick nor hides the mark.
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
        w.InspectFile(path);
        QVERIFY(w.CheckBox3->isChecked());
        QVERIFY(Shown(w.ImageJa3));
    }

    void hiddenAndFolders()
    {
        test::TempDir dir;
        test::WriteFile(dir / ".profile", "x");
        TFormLock& w = *m_window;
        w.InspectFile(QString::fromStdString((dir / ".profile").string()));
        QVERIFY(w.CheckBox4->isChecked());
        QVERIFY(!w.CheckBox2->isChecked() && !w.CheckBox3->isChecked() && !w.CheckBox5->isChecked());

        w.ClearFileView();
        w.InspectFile(QString::fromStdString(dir.path().string()));
        QCOMPARE(w.EditGr->text(), QStringLiteral("0"));
        QCOMPARE(w.LabelBytes->text(), QStringLiteral(" Bytes"));
        QCOMPARE(w.EditDate1->text().toStdString(), ZeroDate());
        QVERIFY(w.EditDate2->text().toStdString() != ZeroDate());
        QVERIFY(Shown(w.ImageJa3));
    }

    void missingPathsReportTheLookup()
    {
        test::TempDir dir;
        TFormLock& w = *m_window;
        w.EditLApp->setText(QStringLiteral("kept"));
        w.InspectFile(QString::fromStdString((dir / "gone.txt").string()));
        QVERIFY(Shown(w.ImageJa3));
        QCOMPARE(w.EditLApp->text(), QStringLiteral("kept"));
        QCOMPARE(w.EditGr->text(), QStringLiteral("0"));
        QCOMPARE(w.EditDate1->text().toStdString(), ZeroDate());
        QCOMPARE(w.EditDate2->text().toStdString(), ZeroDate());
        QVERIFY(!w.CheckBox2->isChecked() && !w.CheckBox3->isChecked() && !w.CheckBox4->isChecked());
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].text, QStringLiteral("File not found: \"gone.txt\" ."));
        QCOMPARE(DialogHook::Shown()[0].caption, QStringLiteral("Fehler"));

        const std::string folder = (dir / "nowhere").string() + "/";
        w.InspectFile(QString::fromStdString(folder + "x.txt"));
        QCOMPARE(DialogHook::Shown().size(), std::size_t(2));
        QCOMPARE(DialogHook::Shown()[1].text,
                 QStringLiteral("Path \"%1\" not found.").arg(QString::fromStdString(folder)));
    }

    void unassociatedFileKeepsTheApplication()
    {
        test::TempDir dir;
        const fs::path file = dir / "data.qqzz";
        test::WriteFile(file, std::string("\x00\x01\x02\x03", 4));
        TFormLock& w = *m_window;
        w.EditLApp->setText(QStringLiteral("kept"));
        w.InspectFile(QString::fromStdString(file.string()));
        QCOMPARE(w.EditLApp->text(), QStringLiteral("kept"));
        QCOMPARE(w.EditDefApp->text(), QStringLiteral("undefined"));
        QVERIFY(DialogHook::Shown().empty());
    }
};

QTEST_MAIN(InspectWindowTest)
#include "InspectWindowTest.moc"
