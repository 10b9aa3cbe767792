// F1 writes a small forwarding page for the browser. Another user of the shared temporary
// folder plants links where such a page could go; none of them may be followed.
#include "TestSupport.h"
#include "platform/posix/PosixShell.h"

#include <QDesktopServices>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace velmora;

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class HelpPageTest : public QObject {
    Q_OBJECT

private slots:
    void plantedLinksAreNeverFollowed()
    {
        test::TempDir dir;
        qputenv("TMPDIR", QByteArray::fromStdString(dir.path().string()));
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");

        // The victim: a file of the user's, and links to it under every name a page of a
        // fixed pattern could have.
        const std::filesystem::path victim = dir / "victim.txt";
        test::WriteFile(victim, "keep");
        for (int context = 1; context <= 3; ++context) {
            const std::string uid = std::to_string(getuid());
            std::filesystem::create_symlink(victim,
                                            dir / ("velmora-help-" + uid + "-" + std::to_string(context) + ".html"));
            std::filesystem::create_symlink(victim, dir / ("velmora-help-" + std::to_string(context) + ".html"));
        }

        PosixShell shell;
        QVERIFY(shell.OpenHelp("/opt/velmora/tessalye.html", 2));
        QCOMPARE(QString::fromStdString(test::ReadFile(victim)), QStringLiteral("keep"));
        QCOMPARE(recorder.opened.size(), 1);
        const std::filesystem::path page = recorder.opened[0].toLocalFile().toStdString();

        // The page is a new plain file in a folder of our own that nobody else may enter.
        struct stat st {};
        QCOMPARE(lstat(page.c_str(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        QVERIFY(QString::fromStdString(test::ReadFile(page)).contains(QStringLiteral("tessalye.html#context-2")));
        const std::filesystem::path folder = page.parent_path();
        QCOMPARE(folder.parent_path(), dir.path());
        QCOMPARE(lstat(folder.c_str(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_uid, geteuid());
        QCOMPARE(st.st_mode & 0777, 0700u);

        // Even a link in the page's own place is replaced, not followed.
        std::filesystem::remove(page);
        std::filesystem::create_symlink(victim, page);
        QVERIFY(shell.OpenHelp("/opt/velmora/tessalye.html", 2));
        QCOMPARE(QString::fromStdString(test::ReadFile(victim)), QStringLiteral("keep"));
        QCOMPARE(lstat(page.c_str(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));

        // A folder that is no longer ours alone is not used again.
        chmod(folder.c_str(), 0777);
        QVERIFY(shell.OpenHelp("/opt/velmora/tessalye.html", 1));
        QCOMPARE(recorder.opened.size(), 3);
        QVERIFY(recorder.opened[2].toLocalFile().toStdString().find(folder.string() + "/") != 0);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qunsetenv("TMPDIR");
    }
};

QTEST_MAIN(HelpPageTest)
#include "HelpPageTest.moc"
