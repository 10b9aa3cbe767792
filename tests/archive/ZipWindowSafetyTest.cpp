// The zip tool window on odd but real inputs that once lost data while the window said
// "Archive unzipped.": each row builds a sandbox (archives made by the real tools where
// they exist), fills the window's fields as a user would, clicks one tool button, answers
// the questions with Yes, and then checks the one message the user gets (in English and
// in German) and what exists on disk, including that nothing outside the target changed.
#include "HostileLayouts.h"
#include "ZipWindowFixture.h"
#include "archive/zip/ZipTexts.h"
#include "ui/Messages.h"

#include <QMessageBox>
#include <QTimer>
#include <QtTest>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

using test::Inside;
using test::MakeFile;
using test::Outside;
using test::Snapshot;
using test::Tree;
using Button = test::ZipWindowFixture::Button;

struct Row {
    const char* name;
    test::Setup setup; // "" when the sandbox is ready
    Button button;
    const char* folder; // the folder field, below the sandbox
    const char* zip;    // the zip-name field, below the sandbox
    const char* password;
    // The one message the user gets at the end; detail is a part of what follows it
    // ("{S}" stands for the sandbox), empty when the text must be exactly the message.
    TextPair message;
    const char* detail;
    // The folder the command may change, below the sandbox ("." for the sandbox itself);
    // "" when nothing at all may change.
    const char* target;
    // What the target holds afterwards; "*" for present and, if it was there, unchanged.
    Tree expected;
    // The caption of a failure's box: a message dialog's, or the standard error box's.
    const char* failureCaption = "Fehler";
};

// The standard error box shows the system's text, the same in both languages.
constexpr TextPair kCreatingFolder{"Creating folder", "Creating folder"};

// Q.zip protected with "pw" beside a file, below which the target is to be made.
std::string TargetBelowAFile(const fs::path& s)
{
    MakeFile(s / "afile", "a file, not a folder");
    return test::ProtectedOf(s, "Q", "Q.zip", {{"q.txt", "q"}});
}

std::string DamagedSecondGzipMember(const fs::path& s)
{
    const std::string made = test::TwoGzipMembers("first\n", std::string(5000, 'b'))(s);
    test::FlipFromEnd(s / "log.gz", 5, 0x01); // its CRC-32
    return made;
}

std::vector<Row> Rows()
{
    using namespace ZipTexts;
    // The flat password extraction: a second file of the same name fails, the first stays.
    const Tree firstX{{"x", "file 0644 ax"}};
    const auto plainTwoX = [](const fs::path& s) { return test::TwoX(s, "plain.zip", test::Maker::InfoZip); };
    // clang-format off
    return {
        // A wrong password leaves the target exactly as it was, the user's own folder.zip in it too.
        {"wrong password keeps the target and its folder.zip", test::ForeignFolderZipInTarget, Button::Unzip, "T",
         "Q.zip", "WRONG", kUnzipError, "", "", {}},
        // A name holding "\" would come back as a folder part: protect refuses and deletes nothing.
        {"backslash name makes protect refuse", test::BackslashName, Button::Protect, "BS", "BS.zip", "pw",
         kNameNotStorable, "x\\y.txt", "", {}},
        // The archive lies in the target: it is read through one handle and never written.
        {"restore into the archive's own folder", test::ProtectedIntoItsOwnFolder, Button::Unzip, "UT",
         "UT/folder.zip", "pw", kUnzipped, "", "UT",
         {{"one.txt", "file 0644 1"}, {"two.txt", "file 0644 2"}, {"folder.zip", "*"}}},
        {"a protected file named like the archive beside it does not replace the archive",
         test::ProtectedFileNamedLikeTheArchive, Button::Unzip, "UT", "UT/folder.zip", "pw", kUnzipError,
         "{S}/UT/folder.zip", "UT", {{"one.txt", "file 0644 1"}, {"folder.zip", "*"}}},
        {"an entry named like the archive is refused, the others come out", test::EntryNamedLikeTheArchive,
         Button::Unzip, "SD", "SD/self.zip", "", kUnzipError, "{S}/SD/self.zip", "SD",
         test::TwentyFilesBesideSelfZip()},
        // A target that cannot be created gets the system's text, not "invalid password".
        {"a target below a file cannot be created (restore)", TargetBelowAFile, Button::Unzip, "afile/T", "Q.zip",
         "pw", kCreatingFolder, "{S}/afile/T': Not a directory", "", {}, "Velmora"},
        {"a target below a file cannot be created (unzip)", TargetBelowAFile, Button::Unzip, "afile/T", "Q.zip", "",
         kCreatingFolder, "{S}/afile/T': Not a directory", "", {}, "Velmora"},
        {"zip -r -P archive: a name clash fails and overwrites nothing", test::TwoXByZipP, Button::Unzip, "out",
         "enc.zip", "secret", kUnzipError, "{S}/out/x", "out", firstX},
        {"7-Zip ZipCrypto archive: a name clash fails and overwrites nothing", test::TwoXBySevenZip, Button::Unzip,
         "out", "enc.zip", "secret", kUnzipError, "{S}/out/x", "out", firstX},
        {"plain archive under the default password: a name clash fails too", plainTwoX, Button::Unzip, "out",
         "plain.zip", kDefaultPassword, kUnzipError, "{S}/out/x", "out", firstX},
        // gzip: every member, all or nothing; never over a read-only file or a link. The
        // folder field names another folder, which gunzip leaves alone.
        {"gzip of several members gives all of them",
         test::TwoGzipMembers(std::string(70000, 'a'), "second member\n"), Button::Unzip, "elsewhere", "log.gz", "",
         kUnzipped, "", ".", {{"log.gz", "*"}, {"part1", "file 0644 " + std::string(70000, 'a') + "second member\n"}}},
        {"gzip with a damaged second member leaves no output", DamagedSecondGzipMember, Button::Unzip, "elsewhere",
         "log.gz", "", kGunzipFailed, "CRC-32 mismatch", "", {}},
        {"gzip never replaces a read-only file", test::ReadOnlyBesideGzip, Button::Unzip, "elsewhere", "notes.gz", "",
         kGunzipFailed, "{S}/notes.txt", "", {}},
        {"gzip never replaces a link", test::LinkBesideGzip, Button::Unzip, "elsewhere", "notes.gz", "",
         kGunzipFailed, "{S}/notes.txt", "", {}},
    };
    // clang-format on
}

} // namespace

class ZipWindowSafetyTest : public QObject {
    Q_OBJECT

    using Fixture = test::ZipWindowFixture;

    // The messages with an OK button only: what the user is told, not what is asked.
    static QList<ShownMessage> Told()
    {
        QList<ShownMessage> told;
        for (const ShownMessage& m : DialogHook::Shown())
            if (m.buttons == MsgButtons::Ok) told << m;
        return told;
    }

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }
    void cleanup() { DialogHook::Disable(); }

    void eachRowEndsAsExpectedAndChangesNothingOutsideItsTarget()
    {
        if (const std::string missing = test::MissingPeers({"zip", "7zz", "gzip"}); !missing.empty())
            QFAIL(missing.c_str());
        for (const Row& row : Rows()) {
            for (const std::int32_t language : {kEnglish, kGerman}) {
                const QString where = QString::fromUtf8(row.name) + (language == kEnglish ? " (en)" : " (de)");
                DialogHook::Reset();
                Fixture f;
                const fs::path s = f.dir.path();
                const std::string made = row.setup(s);
                QVERIFY2(made.empty(), qPrintable(where + QStringLiteral(": ") + QString::fromStdString(made)));
                const Tree before = Snapshot(s);
                f.window->Sprache = language;
                f.window->show();
                f.Run(row.button, row.folder, row.zip, row.password);
                if (QTest::currentTestFailed()) return; // the command did not end in time

                const QList<ShownMessage> told = Told();
                QVERIFY2(told.size() == 1, qPrintable(where + QStringLiteral(": %1 messages").arg(told.size())));
                const QString expected = QString::fromUtf8(Pick(language, row.message));
                QString detail = QString::fromUtf8(row.detail);
                detail.replace(QStringLiteral("{S}"), QString::fromStdString(s.string()));
                if (detail.isEmpty()) {
                    QVERIFY2(told[0].text == expected, qPrintable(where + QStringLiteral(": ") + told[0].text));
                } else {
                    QVERIFY2(told[0].text.startsWith(expected) && told[0].text.contains(detail),
                             qPrintable(where + QStringLiteral(": ") + told[0].text));
                }
                const bool success = row.message.english == ZipTexts::kUnzipped.english;
                QCOMPARE(told[0].caption,
                         success ? QStringLiteral("Informationen") : QString::fromUtf8(row.failureCaption));
                // Only a success opens a folder in the file manager.
                QVERIFY2(f.shell.calls.empty() != success, qPrintable(where));

                const std::string diff = test::TargetDiff(before, Snapshot(s), row.target, row.expected);
                QVERIFY2(diff.empty(), qPrintable(where + QStringLiteral(": ") + QString::fromStdString(diff)));
            }
        }
    }

    // Pictures of the refusal boxes as the user sees them, in both languages: the rows that
    // end in an error run once more with real message boxes, each question answered Yes
    // and each closing box saved as <row>-<en|de>.png in VELMORA_SCREENSHOT_DIR.
    void refusalBoxPictures()
    {
        const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
        if (folder.isEmpty()) QSKIP("set VELMORA_SCREENSHOT_DIR to take pictures of the refusal boxes");
        DialogHook::Disable();
        QString picture;
        int saved = 0;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                yes->click();
                return;
            }
            QVERIFY(box->grab().save(folder + QStringLiteral("/") + picture));
            ++saved;
            box->button(QMessageBox::Ok)->click();
        });
        watcher.start(50);
        const std::vector<Row> rows = Rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].message.english == ZipTexts::kUnzipped.english) continue;
            for (const std::int32_t language : {kEnglish, kGerman}) {
                Fixture f;
                QVERIFY(rows[i].setup(f.dir.path()).empty());
                picture = QStringLiteral("zip-refusal-%1-%2.png").arg(i).arg(language == kEnglish ? "en" : "de");
                f.window->Sprache = language;
                f.window->show();
                f.Run(rows[i].button, rows[i].folder, rows[i].zip, rows[i].password);
            }
        }
        QVERIFY(saved > 0);
    }

    // Protect and then restore through the window: every file comes back with its own mode,
    // the folder with its mode, and a subfolder's archive no more open than the subfolder;
    // unpacked through the window as well, that subfolder's tree comes back exactly.
    void protectThenRestoreWidensNoMode()
    {
        Fixture f;
        const fs::path s = f.dir.path();
        MakeFile(s / "F" / "id_key", "private", 0600);
        MakeFile(s / "F" / "run.sh", "#!/bin/sh\n", 0755);
        MakeFile(s / "F" / "notes.txt", "shared", 0644);
        MakeFile(s / "F" / "Sub" / "inner.txt", "group", 0640);
        MakeFile(s / "F" / "Sub" / "deep" / "d.txt", "d", 0644);
        fs::permissions(s / "F" / "Sub" / "deep", static_cast<fs::perms>(0750));
        fs::permissions(s / "F" / "Sub", static_cast<fs::perms>(0700));
        fs::permissions(s / "F", static_cast<fs::perms>(0700));
        const Tree original = Snapshot(s);
        f.window->show();

        f.Run(Button::Protect, "F", "F.zip", "pw");
        QCOMPARE(Told().back().text, QStringLiteral("Protected folder created"));
        QVERIFY(!fs::exists(s / "F"));

        f.Run(Button::Unzip, "F", "F.zip", "pw");
        QCOMPARE(Told().back().text, QStringLiteral("Archive unzipped."));
        Tree restored = Outside(Snapshot(s), "F.zip");
        QCOMPARE(restored.at("F/Sub.zip").substr(0, 9), std::string("file 0600"));
        restored.erase("F/Sub.zip");
        QCOMPARE(restored, Outside(original, "F/Sub"));

        f.Run(Button::Unzip, "F/Sub", "F/Sub.zip", "");
        QCOMPARE(Told().back().text, QStringLiteral("Archive unzipped."));
        QCOMPARE(Inside(Snapshot(s), "F/Sub"), Inside(original, "F/Sub"));
    }
};

QTEST_MAIN(ZipWindowSafetyTest)
#include "ZipWindowSafetyTest.moc"
