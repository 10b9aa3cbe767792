// The zip tool window on odd but real inputs that once lost data while the window said
// "Archive unzipped.": each row builds a sandbox (archives made by the real tools where
// they exist), fills the window's fields as a user would, clicks one tool button, answers
// the questions with Yes, and then checks the one message the user gets (in English and
// in German) and what exists on disk, including that nothing outside the target changed.
#include "FakePlatform.h"
#include "TestSupport.h"
#include "TreeSnapshot.h"
#include "archive/UnitZip.h"
#include "archive/protect/ProtectedFolder.h"
#include "archive/zip/ZipTexts.h"
#include "platform/IRandomSource.h"
#include "ui/Messages.h"

#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <map>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

using test::Inside;
using test::MakeFile;
using test::Outside;
using test::Snapshot;
using test::Tree;

QString Quoted(const fs::path& path)
{
    return QStringLiteral("'") + QString::fromStdString(path.string()) + QStringLiteral("'");
}

// Runs a peer tool to make a fixture; false (with the command in the log) when it failed.
bool Shell(const QString& command)
{
    if (std::system(command.toLocal8Bit().constData()) == 0) return true;
    qWarning("fixture command failed: %s", qPrintable(command));
    return false;
}

bool HaveTool(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0;
}

class SystemRandom final : public IRandomSource {
public:
    void Fill(std::span<std::uint8_t> out) override
    {
        std::random_device device;
        for (std::uint8_t& b : out)
            b = static_cast<std::uint8_t>(device());
    }
};

// Protects folder into zipPath with the core procedure, as an earlier session of the
// window would have.
bool Protect(const fs::path& folder, const fs::path& zipPath, const std::string& password)
{
    static SystemRandom random;
    ProtectOptions options;
    options.password = password;
    options.random = &random;
    return ProtectFolderToArchive(folder, zipPath, options).status == ProtectStatus::Ok;
}

// Two files of the same name in two folders, a/x and b/x, packed by a peer tool.
bool TwoX(const fs::path& s, const QString& packCommand)
{
    MakeFile(s / "src" / "a" / "x", "ax");
    MakeFile(s / "src" / "b" / "x", "bx");
    const bool ok = Shell(QStringLiteral("cd ") + Quoted(s / "src") + QStringLiteral(" && ") + packCommand);
    fs::remove_all(s / "src");
    return ok;
}

enum class Button { Protect, Unzip };

struct Row {
    const char* name;
    std::function<bool(const fs::path& s)> setup;
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

std::vector<Row> Rows()
{
    using namespace ZipTexts;
    std::vector<Row> rows;
    // A wrong password leaves the target exactly as it was, the user's own folder.zip in it too.
    rows.push_back({"wrong password keeps the target and its folder.zip",
                    [](const fs::path& s) {
                        MakeFile(s / "Q" / "q.txt", "q");
                        fs::create_directories(s / "T");
                        return Protect(s / "Q", s / "Q.zip", "right") &&
                               TwoX(s, QStringLiteral("zip -qr ../T/folder.zip a b"));
                    },
                    Button::Unzip,
                    "T",
                    "Q.zip",
                    "WRONG",
                    kUnzipError,
                    "",
                    "",
                    {}});
    // A name holding "\" would come back as a folder part: protect refuses and deletes nothing.
    rows.push_back({"backslash name makes protect refuse",
                    [](const fs::path& s) {
                        MakeFile(s / "BS" / "x\\y.txt", "xy");
                        MakeFile(s / "BS" / "y.txt", "y");
                        return true;
                    },
                    Button::Protect,
                    "BS",
                    "BS.zip",
                    "pw",
                    kNameNotStorable,
                    "x\\y.txt",
                    "",
                    {}});
    // The archive lies in the target: it is read through one handle and never written.
    rows.push_back({"restore into the archive's own folder",
                    [](const fs::path& s) {
                        MakeFile(s / "Q2" / "one.txt", "1");
                        MakeFile(s / "Q2" / "two.txt", "2");
                        fs::create_directories(s / "UT");
                        return Protect(s / "Q2", s / "UT" / "folder.zip", "pw");
                    },
                    Button::Unzip,
                    "UT",
                    "UT/folder.zip",
                    "pw",
                    kUnzipped,
                    "",
                    "UT",
                    {{"one.txt", "file 0644 1"}, {"two.txt", "file 0644 2"}, {"folder.zip", "*"}}});
    rows.push_back({"a protected file named like the archive beside it does not replace the archive",
                    [](const fs::path& s) {
                        MakeFile(s / "Q3" / "one.txt", "1");
                        MakeFile(s / "Q3" / "folder.zip", "my own file");
                        fs::create_directories(s / "UT");
                        return Protect(s / "Q3", s / "UT" / "folder.zip", "pw");
                    },
                    Button::Unzip,
                    "UT",
                    "UT/folder.zip",
                    "pw",
                    kUnzipError,
                    "{S}/UT/folder.zip",
                    "UT",
                    {{"one.txt", "file 0644 1"}, {"folder.zip", "*"}}});
    rows.push_back({"an entry named like the archive is refused, the others come out",
                    [](const fs::path& s) {
                        QString list;
                        for (int i = 0; i < 20; ++i) {
                            MakeFile(s / "src" / ("f" + std::to_string(i) + ".txt"), std::to_string(i));
                            list += QStringLiteral(" f%1.txt").arg(i);
                        }
                        MakeFile(s / "src" / "self.zip", "inner bytes");
                        fs::create_directories(s / "SD");
                        const bool ok = Shell(QStringLiteral("cd ") + Quoted(s / "src") +
                                              QStringLiteral(" && zip -q ../SD/self.zip self.zip") + list);
                        fs::remove_all(s / "src");
                        return ok;
                    },
                    Button::Unzip, "SD", "SD/self.zip", "", kUnzipError, "{S}/SD/self.zip", "SD",
                    [] {
                        Tree t{{"self.zip", "*"}};
                        for (int i = 0; i < 20; ++i)
                            t["f" + std::to_string(i) + ".txt"] = "file 0644 " + std::to_string(i);
                        return t;
                    }()});
    // A target that cannot be created gets the system's text, not "invalid password".
    for (const char* password : {"pw", ""}) {
        rows.push_back({*password ? "a target below a file cannot be created (restore)"
                                  : "a target below a file cannot be created (unzip)",
                        [](const fs::path& s) {
                            MakeFile(s / "Q" / "q.txt", "q");
                            MakeFile(s / "afile", "a file, not a folder");
                            return Protect(s / "Q", s / "Q.zip", "pw");
                        },
                        Button::Unzip,
                        "afile/T",
                        "Q.zip",
                        password,
                        kCreatingFolder,
                        "{S}/afile/T': Not a directory",
                        "",
                        {},
                        "Velmora"});
    }
    // The flat password extraction: a second file of the same name fails, the first stays.
    const Tree firstX{{"x", "file 0644 ax"}};
    rows.push_back({"zip -r -P archive: a name clash fails and overwrites nothing",
                    [](const fs::path& s) { return TwoX(s, QStringLiteral("zip -qr -P secret ../enc.zip a b")); },
                    Button::Unzip, "out", "enc.zip", "secret", kUnzipError, "{S}/out/x", "out", firstX});
    rows.push_back({"7-Zip ZipCrypto archive: a name clash fails and overwrites nothing",
                    [](const fs::path& s) {
                        return TwoX(s, QStringLiteral("7zz a -tzip -mem=ZipCrypto -psecret ../enc.zip a b >/dev/null"));
                    },
                    Button::Unzip, "out", "enc.zip", "secret", kUnzipError, "{S}/out/x", "out", firstX});
    rows.push_back({"plain archive under the default password: a name clash fails too",
                    [](const fs::path& s) { return TwoX(s, QStringLiteral("zip -qr ../plain.zip a b")); },
                    Button::Unzip, "out", "plain.zip", kDefaultPassword, kUnzipError, "{S}/out/x", "out", firstX});
    // gzip: every member, all or nothing; never over a read-only file or a link. The
    // folder field names another folder, which gunzip leaves alone.
    rows.push_back({"gzip of several members gives all of them",
                    [](const fs::path& s) {
                        MakeFile(s / "part1", std::string(70000, 'a'));
                        MakeFile(s / "part2", "second member\n");
                        return Shell(QStringLiteral("cd ") + Quoted(s) +
                                     QStringLiteral(" && gzip -c part1 > log.gz && gzip -c part2 >> log.gz && "
                                                    "rm part1 part2"));
                    },
                    Button::Unzip,
                    "elsewhere",
                    "log.gz",
                    "",
                    kUnzipped,
                    "",
                    ".",
                    {{"log.gz", "*"}, {"part1", "file 0644 " + std::string(70000, 'a') + "second member\n"}}});
    rows.push_back({"gzip with a damaged second member leaves no output",
                    [](const fs::path& s) {
                        MakeFile(s / "part1", "first\n");
                        MakeFile(s / "part2", std::string(5000, 'b'));
                        if (!Shell(QStringLiteral("cd ") + Quoted(s) +
                                   QStringLiteral(" && gzip -c part1 > log.gz && gzip -c part2 >> log.gz && "
                                                  "rm part1 part2"))) {
                            return false;
                        }
                        std::string bytes = test::ReadFile(s / "log.gz");
                        bytes[bytes.size() - 5] = static_cast<char>(bytes[bytes.size() - 5] ^ 0x01); // its CRC-32
                        test::WriteFile(s / "log.gz", bytes);
                        return true;
                    },
                    Button::Unzip,
                    "elsewhere",
                    "log.gz",
                    "",
                    kGunzipFailed,
                    "CRC-32 mismatch",
                    "",
                    {}});
    rows.push_back({"gzip never replaces a read-only file",
                    [](const fs::path& s) {
                        MakeFile(s / "notes.txt", "new");
                        const bool ok = Shell(QStringLiteral("cd ") + Quoted(s) +
                                              QStringLiteral(" && gzip -c notes.txt > notes.gz"));
                        MakeFile(s / "notes.txt", "mine, read-only", 0444);
                        return ok;
                    },
                    Button::Unzip,
                    "elsewhere",
                    "notes.gz",
                    "",
                    kGunzipFailed,
                    "{S}/notes.txt",
                    "",
                    {}});
    rows.push_back({"gzip never replaces a link",
                    [](const fs::path& s) {
                        MakeFile(s / "notes.txt", "new");
                        MakeFile(s / "elsewhere.txt", "keep");
                        const bool ok = Shell(QStringLiteral("cd ") + Quoted(s) +
                                              QStringLiteral(" && gzip -c notes.txt > notes.gz && rm notes.txt"));
                        fs::create_symlink("elsewhere.txt", s / "notes.txt");
                        return ok;
                    },
                    Button::Unzip,
                    "elsewhere",
                    "notes.gz",
                    "",
                    kGunzipFailed,
                    "{S}/notes.txt",
                    "",
                    {}});
    return rows;
}

} // namespace

class ZipWindowSafetyTest : public QObject {
    Q_OBJECT

    struct Fixture {
        test::TempDir dir;
        test::FakeEnvironment env;
        test::RecordingShell shell;
        std::unique_ptr<PlatformBackend> native = CreateNativePlatform();
        test::FakePlatform platform;
        NoWaiter waiter;
        std::unique_ptr<TFormZip> window;

        Fixture()
        {
            env.program = (dir / "bin" / "velmora").string();
            platform.environment = &env;
            platform.shell = &shell;
            platform.random = native->Services().random;
            platform.attributes = native->Services().attributes;
            window = std::make_unique<TFormZip>(AppContext{platform, waiter});
        }
        QString Path(const std::string& name) const { return QString::fromStdString((dir / name).string()); }

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
        for (const char* tool : {"zip", "7zz", "gzip"})
            if (!HaveTool(tool))
                QFAIL(qPrintable(QStringLiteral("%1 is needed by this test and is missing").arg(tool)));
        for (const Row& row : Rows()) {
            for (const std::int32_t language : {kEnglish, kGerman}) {
                const QString where = QString::fromUtf8(row.name) + (language == kEnglish ? " (en)" : " (de)");
                DialogHook::Reset();
                Fixture f;
                const fs::path s = f.dir.path();
                QVERIFY2(row.setup(s), qPrintable(where));
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

                const Tree after = Snapshot(s);
                const std::string target = row.target;
                if (target.empty()) {
                    QVERIFY2(after == before, qPrintable(where + QStringLiteral(": the sandbox changed")));
                    continue;
                }
                if (target != ".") {
                    QVERIFY2(Outside(after, target) == Outside(before, target),
                             qPrintable(where + QStringLiteral(": something outside the target changed")));
                }
                const Tree inside = target == "." ? after : Inside(after, target);
                const Tree insideBefore = target == "." ? before : Inside(before, target);
                QStringList names, expectedNames;
                for (const auto& [path, what] : inside)
                    names << QString::fromStdString(path);
                for (const auto& [path, what] : row.expected)
                    expectedNames << QString::fromStdString(path);
                QVERIFY2(names == expectedNames, qPrintable(where + QStringLiteral(": ") + names.join(u',')));
                for (const auto& [path, what] : row.expected) {
                    const std::string& now = inside.at(path);
                    const std::string& want =
                        what != "*" ? what : (insideBefore.count(path) ? insideBefore.at(path) : now);
                    QVERIFY2(now == want, qPrintable(where + QStringLiteral(": ") + QString::fromStdString(path)));
                }
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
                QVERIFY(rows[i].setup(f.dir.path()));
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
