#include "AppFixture.h"
#include "info/ProductLinks.h"
#include "platform/posix/PosixShell.h"
#include "ui/Messages.h"
#include "update/UpdateTexts.h"

#include <QtTest>

using namespace velmora;

namespace {
// Starts programs for real and records the web pages it is asked to open.
class SpawningShell : public test::RecordingShell {
public:
    bool StartHidden(const std::string& program, const std::vector<std::string>& arguments) override
    {
        RecordingShell::StartHidden(program, arguments);
        return SpawnDetached(program, arguments);
    }
};

} // namespace

class UpdateNoticeWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }

    void noticeAppearsOnceInTheLanguageOfTheMoment()
    {
        test::AppFixture f;
        test::NoticeTimerWaiter waiter(std::chrono::hours(1)); // ticks are run by hand
        f.waiter = &waiter;
        TFormLock& window = f.Start();
        QVERIFY(window.TimerUpdate->isActive());

        window.TimerUpdateTimer(); // no release file yet
        QVERIFY(window.TimerUpdate->isActive());
        QVERIFY(DialogHook::Shown().empty());

        window.ToolButtonLang->click(); // German before the notice
        test::WriteFile(f.ReleaseFile(), "  1.4  \r\n");
        window.TimerUpdateTimer();
        QVERIFY(!window.TimerUpdate->isActive());
        QCOMPARE(window.UpdateTickCount, 2);
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        const ShownMessage& notice = DialogHook::Shown()[0];
        QCOMPARE(notice.caption, QStringLiteral("Updater"));
        QCOMPARE(notice.text, QString::fromUtf8(kUpdateNoticeText.german));
        QCOMPARE(notice.icon, MsgIcon::Information);
        QCOMPARE(notice.buttons, MsgButtons::Ok);
        QCOMPARE(f.OpenedUrls(), (std::vector<std::string>{kProductPage.german}));
    }

    void timerRunsUntilTheNoticeOrTheFourthTick()
    {
        const struct {
            const char* release;
            int ticks;
            int notices;
            int errors;
        } cases[] = {
            {"1.3.0.0\r\n", 4, 0, 0}, // equal: read three times, the fourth tick switches off
            {"1.4\r\n", 1, 1, 0},     // newer: one notice although the timer fires at once
            {"", 1, 0, 0},            // empty: off at once, nothing shown
            {"1.4x\r\n", 4, 0, 3},    // not a number: an error box on each reading tick
        };
        for (const auto& c : cases) {
            DialogHook::Reset();
            test::AppFixture f;
            test::WriteFile(f.ReleaseFile(), c.release);
            TFormLock& window = f.Start();
            QTRY_VERIFY(!window.TimerUpdate->isActive());
            QCOMPARE(window.UpdateTickCount, c.ticks);
            int notices = 0, errors = 0;
            for (const ShownMessage& shown : DialogHook::Shown()) {
                if (shown.caption == QStringLiteral("Updater")) ++notices;
                if (shown.icon == MsgIcon::Error) {
                    ++errors;
                    // The window starts in English, so the error speaks English too.
                    QVERIFY2(shown.text.contains(QStringLiteral("'1.4x' is not a valid version number")),
                             qPrintable(shown.text));
                }
            }
            QCOMPARE(notices, c.notices);
            QCOMPARE(errors, c.errors);
            QCOMPARE(f.OpenedUrls().size(), std::size_t(c.notices));
        }
    }

    void standInUpdaterBesideTheProgramLeadsToTheNotice()
    {
        test::AppFixture f;
        SpawningShell shell;
        test::NoticeTimerWaiter waiter(std::chrono::seconds(2)); // time for the updater to write
        f.shell = &shell;
        f.waiter = &waiter;
        const std::filesystem::path source =
            std::filesystem::path(qEnvironmentVariable("VELMORA_SOURCE_DIR").toStdString()) / "tests/update/checkup";
        std::filesystem::copy_file(source, f.dir / "bin" / "checkup");
        const QByteArray savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QByteArray::fromStdString(f.env.temp));

        TFormLock& window = f.Start();
        qputenv("TMPDIR", savedTemp);
        QTRY_VERIFY_WITH_TIMEOUT(!window.TimerUpdate->isActive(), 20000);
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].text, QString::fromUtf8(kUpdateNoticeText.english));
        std::vector<std::string> urls;
        for (const auto& call : shell.calls) {
            if (call.what == "url") urls.push_back(call.args.at(0));
        }
        QCOMPARE(urls, (std::vector<std::string>{kProductPage.english}));
        QCOMPARE(QString::fromStdString(test::ReadFile(f.ReleaseFile())),
                 QStringLiteral("1.4.0.0\r\nstand-in updater\r\n"));
    }
};

QTEST_MAIN(UpdateNoticeWindowTest)
#include "UpdateNoticeWindowTest.moc"
