// The in-use mark's holders: its tooltip, the "Held by" list and ending processes from it,
// with real child processes holding a real file.
#include "HolderChild.h"

#include "app/AppWindows.h"
#include "app/HeldBy.h"
#include "app/unlockpas.h"
#include "platform/IProcesses.h"
#include "ui/Messages.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <set>

using namespace velmora;

namespace {

// Refuses to end the processes it is told about; passes everything else on.
class SelectiveProcesses : public IProcesses {
public:
    explicit SelectiveProcesses(IProcesses& real) : m_real(real) {}
    std::set<std::int64_t> refused;
    std::vector<ProcessEntry> Snapshot() override { return m_real.Snapshot(); }
    Result<void> Terminate(std::int64_t id) override
    {
        if (refused.count(id) != 0) return Fail(ErrorFromErrno(EPERM));
        return m_real.Terminate(id);
    }
    std::int64_t OwnProcessId() const override { return m_real.OwnProcessId(); }

private:
    IProcesses& m_real;
};

// Each fixed wait collects the children that were ended, as the real 200 ms let them go.
class ReapingWaiter : public IWaiter {
public:
    std::vector<test::ChildProcess*> children;
    void Wait(std::chrono::milliseconds) override
    {
        for (test::ChildProcess* child : children)
            child->WaitForEnd(std::chrono::milliseconds(500));
    }
    std::chrono::milliseconds TimerInterval(std::chrono::milliseconds) const override
    {
        return std::chrono::milliseconds(0);
    }
};

struct Fixture {
    std::unique_ptr<PlatformBackend> backend = CreateNativePlatform();
    Platform platform = backend->Services();
    SelectiveProcesses processes{*backend->Services().processes};
    ReapingWaiter waiter;
    test::TempDir dir;
    std::string file;
    std::unique_ptr<TFormLock> window;

    Fixture()
    {
        platform.processes = &processes;
        window = std::make_unique<TFormLock>(AppContext{platform, waiter});
        window->ClearFileView();
        window->ApplyLanguage();
        file = std::filesystem::canonical(dir.path()).string() + "/held.txt";
        test::WriteFile(file, "held content");
    }

    QString ToolTipOfMark()
    {
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
        QCoreApplication::sendEvent(window->ImageJa3, &event);
        return window->ImageJa3->toolTip();
    }

    // Clicks the mark; while the modal list is open, runs what the test does with it.
    void ClickMark(std::function<void(THeldBy*)> whileOpen)
    {
        QTimer::singleShot(0, [this, whileOpen] {
            THeldBy* list = window->FormHeldBy;
            if (list == nullptr || !list->isVisible()) {
                QFAIL("the list did not open");
                return;
            }
            whileOpen(list);
            list->accept();
        });
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(window->Label5, &release);
    }
};

QStringList Column(QTreeWidget* list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

void Select(QTreeWidget* list, const std::set<pid_t>& ids)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        item->setSelected(ids.count(item->text(0).toInt()) > 0);
    }
}

void Grab(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    if (!folder.isEmpty()) widget->grab().save(folder + QStringLiteral("/") + name);
}

} // namespace

class HeldByWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
        if (test::FindPython().empty()) QFAIL("python3 is needed to make the holding processes");
    }
    void cleanup() { DialogHook::Disable(); }

    void tooltipNamesTheHoldersInEitherLanguage()
    {
        Fixture f;
        test::HolderChild child(f.dir.path(), f.file, {"posix-w"});
        QVERIFY(child.Ready());
        f.window->WMDropFiles({QString::fromStdString(f.file)});
        QVERIFY(!f.window->ImageJa3->isHidden());

        const QString pid = QString::number(child.Id());
        QString tip = f.ToolTipOfMark();
        QVERIFY2(tip.startsWith(QStringLiteral("Held by:\n") + pid + QLatin1Char(' ')), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("open for reading and writing, POSIX write lock")), qPrintable(tip));

        // F2 switches the tooltip with the rest.
        QTest::keyClick(f.window->Edit1, Qt::Key_F2);
        QCOMPARE(f.window->Language, kGerman);
        tip = f.ToolTipOfMark();
        QVERIFY2(tip.startsWith(QStringLiteral("Verwendet von:\n") + pid), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("zum Lesen und Schreiben geöffnet, POSIX-Schreibsperre")),
                 qPrintable(tip));
        // Nothing else of the window moved.
        QCOMPARE(f.window->ImageJa3->geometry(), QRect(357, 11, 20, 20));
        QCOMPARE(f.window->Label5->pos(), QPoint(380, 13));
    }

    void theListEndsTheChosenProcessesAfterAskingAndRefreshes()
    {
        Fixture f;
        test::HolderChild first(f.dir.path(), f.file, {"rw"});
        test::HolderChild second(f.dir.path(), f.file, {"r", "mmap"});
        test::HolderChild third(f.dir.path(), f.file, {"flock-sh"});
        QVERIFY(first.Ready() && second.Ready() && third.Ready());
        f.waiter.children = {&first.Process(), &second.Process(), &third.Process()};
        f.window->WMDropFiles({QString::fromStdString(f.file)});
        QVERIFY(!f.window->ImageJa3->isHidden());

        // "No" ends nothing.
        f.ClickMark([&](THeldBy* list) {
            QCOMPARE(list->windowTitle(), QStringLiteral("Held by"));
            QCOMPARE(list->ListHolders->headerItem()->text(0), QStringLiteral("Process"));
            QCOMPARE(list->ListHolders->headerItem()->text(3), QStringLiteral("How"));
            QCOMPARE(Column(list->ListHolders, 0).size(), 3);
            QVERIFY(!list->ButtonEnd->isEnabled());
            Select(list->ListHolders, {first.Id()});
            QVERIFY(list->ButtonEnd->isEnabled());
            Grab(list, QStringLiteral("holders-list-en.png"));
            DialogHook::PushAnswer(MsgAnswer::No);
            list->ButtonEnd->click();
            QCOMPARE(Column(list->ListHolders, 0).size(), 3);
        });
        QVERIFY(first.Process().Running());
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].buttons, MsgButtons::YesNo);
        QVERIFY(DialogHook::Shown()[0].text.contains(QString::number(first.Id())));

        // "Yes" ends two; the one the system refuses is reported by itself; the list shows who is left.
        DialogHook::Reset();
        f.processes.refused = {third.Id()};
        f.ClickMark([&](THeldBy* list) {
            Select(list->ListHolders, {first.Id(), third.Id()});
            DialogHook::PushAnswer(MsgAnswer::Yes);
            list->ButtonEnd->click();
            QCOMPARE(Column(list->ListHolders, 0),
                     QStringList({QString::number(second.Id()), QString::number(third.Id())}));
            Select(list->ListHolders, {second.Id()});
            DialogHook::PushAnswer(MsgAnswer::Yes);
            list->ButtonEnd->click();
            QCOMPARE(Column(list->ListHolders, 0), QStringList({QString::number(third.Id())}));
        });
        QCOMPARE(first.Process().WaitForEnd(), SIGKILL);
        QCOMPARE(second.Process().WaitForEnd(), SIGKILL);
        QVERIFY(third.Process().Running());
        const auto& shown = DialogHook::Shown();
        QCOMPARE(shown.size(), std::size_t(3)); // question, failure, question
        QCOMPARE(shown[1].icon, MsgIcon::Error);
        QCOMPARE(shown[1].text, QStringLiteral("Process %1 (%2) could not be ended: it belongs to another user or has "
                                               "already ended.")
                                    .arg(third.Id())
                                    .arg(QString::fromStdString(f.window->FormHeldBy->Holders().holders[0].program)));
        QVERIFY(!f.window->ImageJa3->isHidden());

        // The last one ended in German: the list is empty and says so, and the mark goes.
        DialogHook::Reset();
        f.processes.refused.clear();
        f.waiter.children = {&third.Process()};
        QTest::keyClick(f.window->Edit1, Qt::Key_F2);
        f.ClickMark([&](THeldBy* list) {
            QCOMPARE(list->windowTitle(), QStringLiteral("Verwendet von"));
            QCOMPARE(list->ButtonEnd->text(), QStringLiteral("Prozess beenden"));
            QCOMPARE(list->ListHolders->headerItem()->text(2), QStringLiteral("Benutzer"));
            QVERIFY(list->ListHolders->topLevelItem(0)->text(3).contains(QStringLiteral("geteilte flock-Sperre")));
            Select(list->ListHolders, {third.Id()});
            Grab(list, QStringLiteral("holders-list-de.png"));
            DialogHook::PushAnswer(MsgAnswer::Yes);
            list->ButtonEnd->click();
            QCOMPARE(list->ListHolders->topLevelItemCount(), 0);
            QCOMPARE(list->LabelNote->text(), QStringLiteral("Kein Prozess verwendet sie."));
            QVERIFY(f.window->ImageJa3->isHidden());
        });
        QCOMPARE(third.Process().WaitForEnd(), SIGKILL);
        QVERIFY(f.window->ImageJa3->isHidden());
        QVERIFY(f.window->Label5->isHidden());
    }

    void aFileArgumentIsTakenLikeADrop()
    {
        const struct {
            QStringList arguments;
            QString file;
        } cases[] = {
            {{QStringLiteral("velmora")}, QString()},
            {{QStringLiteral("velmora"), QStringLiteral("/tmp/a b.txt")}, QStringLiteral("/tmp/a b.txt")},
            {{QStringLiteral("velmora"), QStringLiteral("--"), QStringLiteral("-odd")}, QStringLiteral("-odd")},
            {{QStringLiteral("velmora"), QStringLiteral("file:///tmp/%C3%A4.txt")}, QStringLiteral("/tmp/ä.txt")},
        };
        for (const auto& c : cases)
            QCOMPARE(FileArgument(c.arguments), c.file);
    }
};

QTEST_MAIN(HeldByWindowTest)
#include "HeldByWindowTest.moc"
