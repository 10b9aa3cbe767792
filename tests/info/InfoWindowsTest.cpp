#include "AppFixture.h"
#include "info/ProductLinks.h"
#include "info/Reabout.h"
#include "info/UnitStartscreen.h"
#include "ui/GradientPanel.h"
#include "ui/Messages.h"

#include <QtTest>

using namespace velmora;

class InfoWindowsTest : public QObject {
    Q_OBJECT

    static std::string Page(std::int32_t language) { return Pick(language, kProductPage); }

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }

    void startScreenFillsTheBarAndClosesByItself()
    {
        const struct {
            std::int32_t language;
            const char* host;
        } cases[] = {{1, "www.velmora-tools.com"}, {0, "www.velmora-tools.de"}, {7, "www.velmora-tools.com"}};
        for (const auto& c : cases) {
            test::AppFixture f;
            f.platform.shell = f.shell;
            TFormFreeware screen({f.platform, f.noWaiter});
            screen.Language = c.language;
            screen.show();
            QCOMPARE(screen.Label3->text(), QString::fromLatin1(c.host));
            QTRY_VERIFY(!screen.isVisible());
            QCOMPARE(screen.result(), int(QDialog::Accepted));
            QCOMPARE(screen.StepCount(), 100);
            // Step 100 is never drawn: the bar stays at the width of step 99.
            QCOMPARE(screen.Balken->width(), 238);
        }
    }

    void startScreenIgnoresCloseRequestsAndKeepsRunningAfterTheLink()
    {
        test::AppFixture f;
        test::FrozenWaiter frozen;
        f.platform.shell = f.shell;
        TFormFreeware screen({f.platform, frozen});
        screen.Language = 0;
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        QCOMPARE(screen.size(), QSize(340, 180));
        // Rounded corners: the corner pixel is cut away, the middle is not.
        QVERIFY(!screen.mask().contains(QPoint(0, 0)));
        QVERIFY(screen.mask().contains(QPoint(170, 90)));
        QVERIFY(screen.Timer2->isActive());

        QTest::keyClick(&screen, Qt::Key_F4);
        QTest::keyClick(&screen, Qt::Key_F4, Qt::AltModifier);
        QTest::keyClick(&screen, Qt::Key_Escape);
        QVERIFY(!screen.close());
        QVERIFY(screen.isVisible());

        QCOMPARE(screen.Balken->width(), 1);
        for (int i = 0; i < 30; ++i)
            screen.Timer2Timer();
        QCOMPARE(screen.Balken->width(), 72);
        QCOMPARE(screen.Label3->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(screen.Label3, Qt::LeftButton);
        QCOMPARE(f.OpenedUrls(), (std::vector<std::string>{"https://www.velmora-tools.de"}));
        QVERIFY(screen.Timer2->isActive());

        for (int i = 31; i <= 99; ++i)
            screen.Timer2Timer();
        QCOMPARE(screen.Balken->width(), 238);
        screen.Timer2Timer(); // the 100th tick: timer off, the short wait begins
        QVERIFY(!screen.Timer2->isActive());
        QCOMPARE(screen.Balken->width(), 238);
        QVERIFY(screen.isVisible());
        // A late activation during the wait does not start a new round.
        screen.FormActivate();
        QVERIFY(!screen.Timer2->isActive());
        screen.BitBtn1Click();
        QVERIFY(!screen.isVisible());
    }

    void aboutBoxFollowsTheLanguageAndItsLinksOpenAndClose()
    {
        const struct {
            std::int32_t language;
            const char* caption;
            const char* donation;
        } cases[] = {{1, "About...", "https://www.velmora-tools.com/donate.html"},
                     {0, "Über...", "https://www.velmora-tools.de/spenden.html"}};
        for (const auto& c : cases) {
            test::AppFixture f;
            f.platform.shell = f.shell;
            TAboutBox box({f.platform, f.noWaiter});
            const bool english = c.language != 0;
            const auto showBox = [&] {
                box.ALanguage = c.language;
                box.show();
                QVERIFY(QTest::qWaitForWindowExposed(&box));
            };
            showBox();
            QCOMPARE(box.windowTitle(), QString::fromUtf8(c.caption));
            QCOMPARE(box.Image1->isVisible(), english);
            QCOMPARE(box.Image3->isVisible(), !english);
            QCOMPARE(box.Label5->text(), QString::fromStdString(Page(c.language)).mid(8).chopped(1));
            QCOMPARE(box.LabelVersion->text(), QStringLiteral("1.3.0.0"));
            for (QLabel* link : {box.Image1, box.Image2, box.Image3, box.Label5}) {
                QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            }

            QTest::mouseClick(english ? box.Image1 : box.Image3, Qt::LeftButton);
            QVERIFY(!box.isVisible());
            showBox();
            QTest::mouseClick(box.Image2, Qt::LeftButton);
            QVERIFY(!box.isVisible());
            showBox();
            QTest::mouseClick(box.Label5, Qt::LeftButton);
            QVERIFY(!box.isVisible());
            QCOMPARE(f.OpenedUrls(), (std::vector<std::string>{c.donation, Page(c.language), Page(c.language)}));

            showBox();
            box.ButtonClose->click();
            QVERIFY(!box.isVisible());
            QCOMPARE(f.OpenedUrls().size(), std::size_t(3));
        }
    }

    void infoButtonCentresTheFirstShowingAndPlacesLaterOnes()
    {
        test::AppFixture f;
        TFormLock& window = f.Start();
        window.move(200, 150);
        TAboutBox* box = f.windows->AboutBox;
        window.ToolButtonLang->click(); // German

        QList<QPoint> places;
        QList<int> languages;
        for (int showing = 0; showing < 2; ++showing) {
            QTimer::singleShot(0, box, [&] {
                places.push_back(box->pos());
                languages.push_back(box->ALanguage);
                box->ButtonClose->click();
            });
            window.ToolButtonInfo->click();
        }
        const QRect main = window.frameGeometry();
        QCOMPARE(places.size(), 2);
        QCOMPARE(places[0], main.center() - QPoint(box->width() / 2, box->height() / 2));
        QCOMPARE(places[1], main.topLeft() + QPoint(90, 50));
        QCOMPARE(languages, (QList<int>{0, 0}));
    }

    void updatesButtonOpensTheProductPageWithoutTheAboutBox()
    {
        test::AppFixture f;
        TFormLock& window = f.Start();
        for (std::int32_t language : {1, 0}) {
            if (window.Language != language) window.ToolButtonLang->click();
            window.ToolButtonUpdate->click();
            QCOMPARE(f.OpenedUrls().back(), Page(language));
            QVERIFY(!f.windows->AboutBox->isVisible());
        }
        QCOMPARE(f.OpenedUrls().size(), std::size_t(2));
    }
};

QTEST_MAIN(InfoWindowsTest)
#include "InfoWindowsTest.moc"
