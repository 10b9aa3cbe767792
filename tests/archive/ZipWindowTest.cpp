#include "ZipWindowFixture.h"
#include "archive/zip/ZipReader.h"
#include "ui/Messages.h"

#include <QSignalSpy>
#include <QtTest>

#include <zlib.h>

using namespace velmora;
namespace fs = std::filesystem;

class ZipWindowTest : public QObject {
    Q_OBJECT

    using Fixture = test::ZipWindowFixture;

    // A gzip file whose header stores the given name.
    static void WriteGzip(const fs::path& path, const char* storedName, const std::string& data)
    {
        z_stream stream{};
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        gz_header header{};
        header.name = reinterpret_cast<Bytef*>(const_cast<char*>(storedName));
        deflateSetHeader(&stream, &header);
        std::string out(deflateBound(&stream, data.size()) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        test::WriteFile(path, out);
    }

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

        QTest::keyClicks(f.window->EditPass, QStringLiteral("   ")); // blanks only count as empty
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
        DialogHook::PushText(std::nullopt); // cancelled
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
        QCOMPARE(f.shell.calls.back().args,
                 (std::vector<std::string>{(f.dir / "bin" / "tessalye.html").string(), "2"}));
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

        // A zip path inside the folder: the system's text, and the reason below it.
        f.window->Edit3->setText(f.Path("F/inside.zip"));
        f.window->ToolButtonZip->click();
        QCOMPARE(LastText(), QStringLiteral("Foldewr not found or invalid output name!\n"
                                            "The archive would lie inside the folder it replaces."));
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

    void protectAndGetTheFolderBackInTheWindow()
    {
        Fixture f;
        fs::create_directories(f.dir / "F" / "Sub");
        test::WriteFile(f.dir / "F" / "one.txt", std::string(300000, 'o'));
        test::WriteFile(f.dir / "F" / ".hidden", "h");
        test::WriteFile(f.dir / "F" / "Sub" / "three.txt", "three");
        f.window->Sprache = 1;
        f.window->show();
        f.window->Edit1->setText(f.Path("F") + QStringLiteral("  "));
        f.window->Edit3->setText(f.Path("F.zip"));
        QSignalSpy progress(f.window->ProgressBar, &QProgressBar::valueChanged);

        f.window->ToolButtonZip->click();
        // The work runs in the background: the window shows it and takes no second command.
        QVERIFY(f.window->IsBusy());
        QCOMPARE(f.window->LabelTask->text(), QStringLiteral("Zip folder. Wait please..."));
        QVERIFY(f.window->ProgressBar->isVisible());
        QVERIFY(!f.window->ToolButtonZip->isEnabled() && !f.window->ToolButtonDel->isEnabled());
        f.window->close();
        QVERIFY(f.window->isVisible());
        QTRY_VERIFY(!f.window->IsBusy());

        QCOMPARE(LastText(), QStringLiteral("Protected folder created"));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Informationen"));
        QVERIFY(f.window->LabelTask->text().isEmpty());
        QVERIFY(!f.window->ProgressBar->isVisible());
        int highest = 0;
        for (const QList<QVariant>& values : progress)
            highest = std::max(highest, values.at(0).toInt());
        QCOMPARE(highest, 1000);
        QVERIFY(!fs::exists(f.dir / "F"));
        QCOMPARE(f.shell.calls.back().args, (std::vector<std::string>{f.dir.path().string() + "/"}));

        // Unzip with the same password: the questions name the trimmed folder, the extraction
        // uses the field as it stands, trailing blanks included.
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), f.Path("F.zip") + QStringLiteral(" unzip to ") + f.Path("F") + QStringLiteral(" ?"));
        QTRY_VERIFY(!f.window->IsBusy());
        QCOMPARE(LastText(), QStringLiteral("Archive unzipped."));
        QVERIFY(!fs::exists(f.dir / "F"));
        const fs::path restored = f.dir / "F  ";
        QCOMPARE(test::ReadFile(restored / "one.txt"), std::string(300000, 'o'));
        QCOMPARE(test::ReadFile(restored / ".hidden"), std::string("h"));
        QVERIFY(fs::is_regular_file(restored / "Sub.zip"));
        QVERIFY(!fs::exists(restored / "folder.zip"));
        QCOMPARE(f.shell.calls.back().args, (std::vector<std::string>{restored.string()}));

        // A wrong password: the error; the archive stays.
        f.window->EditPass->setText(QStringLiteral("wrong"));
        f.window->Edit1->setText(f.Path("G"));
        f.window->ToolButtonDel->click();
        QTRY_VERIFY(!f.window->IsBusy());
        QCOMPARE(LastText(), QStringLiteral("Unzip error/invalid password!"));
        QVERIFY(fs::exists(f.dir / "F.zip"));
        QVERIFY(!fs::exists(f.dir / "G")); // a wrong password leaves the target as it was

        // Zip folder after a protect: no encryption, only the folder's own visible files.
        f.window->SpeedButtonPass->click();
        fs::rename(restored, f.dir / "F");
        f.window->Edit1->setText(f.Path("F"));
        f.window->Edit3->setText(f.Path("plain.zip"));
        f.window->ToolButtonZip->click();
        QTRY_VERIFY(!f.window->IsBusy());
        QCOMPARE(LastText(), QStringLiteral("Archive created."));
        const Result<ZipListing> plain = ListZipArchive(f.dir / "plain.zip");
        QVERIFY(plain);
        QStringList names;
        for (const ZipEntryInfo& e : plain->entries) {
            names << QString::fromStdString(e.name);
            QVERIFY(!e.encrypted);
        }
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("Sub.zip"), QStringLiteral("one.txt")}));
    }

    void gzipFilesGoToGunzipWhateverThePassword()
    {
        Fixture f;
        fs::create_directories(f.dir / "in");
        WriteGzip(f.dir / "in" / "report.txt.GZ", "report.txt", "the report");
        f.window->show();
        f.window->Edit3->setText(f.Path("in/report.txt.GZ"));
        f.window->Edit1->setText(f.Path("elsewhere"));
        QVERIFY(!f.window->EditPass->text().isEmpty());
        f.window->ToolButtonDel->click();
        QTRY_VERIFY(!f.window->IsBusy());
        QCOMPARE(LastText(), QStringLiteral("Archive unzipped."));
        QCOMPARE(test::ReadFile(f.dir / "in" / "report.txt"), std::string("the report"));
        QVERIFY(!fs::exists(f.dir / "elsewhere"));
        QCOMPARE(f.shell.calls.back().args, (std::vector<std::string>{(f.dir / "in").string() + "/"}));

        // Not a gzip file: an error that says so, and nothing is written.
        test::WriteFile(f.dir / "in" / "notes.gz", "plain text");
        f.window->Edit3->setText(f.Path("in/notes.gz"));
        const std::size_t calls = f.shell.calls.size();
        f.window->ToolButtonDel->click();
        QTRY_VERIFY(!f.window->IsBusy());
        QVERIFY2(LastText().startsWith(QStringLiteral("The gzip file could not be extracted; nothing was changed: ")),
                 qPrintable(LastText()));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Fehler"));
        QCOMPARE(f.shell.calls.size(), calls);
        QVERIFY(!fs::exists(f.dir / "in" / "unknown") && !fs::exists(f.dir / "in" / "notes"));
    }
};

QTEST_MAIN(ZipWindowTest)
#include "ZipWindowTest.moc"
