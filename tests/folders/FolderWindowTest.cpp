#include "FakePlatformFixture.h"
#include "TestSupport.h"
#include "folders/UnitFolder.h"
#include "ui/Messages.h"
#include "ziptool/UnitZip.h"

#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

using namespace velmora;
namespace fs = std::filesystem;

class FolderWindowTest : public QObject {
    Q_OBJECT

    struct Fixture : test::FakePlatformFixture {
        test::MemoryFileTimes times;
        test::GermanLocale locale;
        std::unique_ptr<TFormZip> zip;
        std::unique_ptr<TFormFolder> window;

        Fixture()
        {
            platform.times = &times;
            platform.localeFormats = &locale;
            times.now = EncodeDateTime({2026, 12, 10, 14, 3, 27, 0});
            zip = std::make_unique<TFormZip>(AppContext{platform, waiter});
            window = std::make_unique<TFormFolder>(AppContext{platform, waiter});
            window->SetZipHandOff([z = zip.get()](const std::optional<QString>& folder, std::int32_t language) {
                z->ShowForFolder(folder, language);
            });
        }
        // Folders A, B, C (or as named) under the temporary folder, each with a file.
        QString MakeFolder(const std::string& name, TDateTime modified = EncodeDateTime({2020, 5, 6, 7, 8, 10, 0}))
        {
            fs::create_directories(dir / name);
            test::WriteFile(dir / name / "file.txt", name);
            times.modified[(dir / name).string()] = modified;
            return QString::fromStdString((dir / name).string());
        }
        void Show(int language, const QStringList& picked)
        {
            window->MyLanguage = language;
            window->show();
            DialogHook::PushTextList(picked);
            window->ToolButtonOpen->click();
        }
        void Select(std::initializer_list<int> rows)
        {
            window->DirectoryList->clearSelection();
            for (int row : rows)
                window->DirectoryList->topLevelItem(row)->setSelected(true);
        }
        QString Cell(int row, int column) const { return window->DirectoryList->topLevelItem(row)->text(column); }
    };

    static QString LastText() { return DialogHook::Shown().empty() ? QString() : DialogHook::Shown().back().text; }

private slots:
    void init()
    {
        DialogHook::Enable();
        DialogHook::Reset();
    }

    void showingStartsEmptyWithTodayAndPickingAppendsRows()
    {
        Fixture f;
        const QString a = f.MakeFolder("A");
        const QString hidden = f.MakeFolder(".hidden", EncodeDateTime({2019, 1, 2, 0, 0, 0, 0}));
        f.window->MyLanguage = 0;
        f.window->show();
        QCOMPARE(f.window->EditDate->text(), QStringLiteral("10.12.2026"));
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Ordner-Tools"));
        QCOMPARE(f.window->ToolButtonOpen->toolTip(), QStringLiteral("Ordner auswählen"));
        QCOMPARE(f.window->DirectoryList->headerItem()->text(1), QStringLiteral("Ordnerpfad"));

        DialogHook::PushTextList({a, a, hidden});
        f.window->ToolButtonOpen->click();
        QCOMPARE(f.window->DirectoryList->topLevelItemCount(), 3); // the same folder twice gives two rows
        QCOMPARE(f.Cell(0, 1), a);
        QCOMPARE(f.Cell(1, 2), QStringLiteral("06.05.2020"));
        QCOMPARE(f.Cell(2, 2), QStringLiteral("02.01.2019")); // hidden folders show their real date
        DialogHook::PushTextList({});                         // cancelled
        f.window->ToolButtonOpen->click();
        QCOMPARE(f.window->DirectoryList->topLevelItemCount(), 3);

        f.window->hide();
        f.window->MyLanguage = 1;
        f.window->show();
        QCOMPARE(f.window->DirectoryList->topLevelItemCount(), 0);
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Folder tools"));

        QTest::keyClick(f.window->EditDate, Qt::Key_F1);
        QCOMPARE(f.shell.calls.back().what, std::string("help"));
        QCOMPARE(f.shell.calls.back().args,
                 (std::vector<std::string>{(f.dir / "bin" / "tessalye.html").string(), "2"}));
    }

    void deleteActsOnTheTargetRow()
    {
        Fixture f;
        const QString a = f.MakeFolder("A");
        const QString b = f.MakeFolder("B");
        const QString c = f.MakeFolder("C");

        // One row, not selected: that row. No keeps it, Yes deletes it; the row stays.
        f.Show(1, {a});
        DialogHook::PushAnswer(MsgAnswer::No);
        f.window->ToolButtonDel->click();
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("DarEzez"));
        QCOMPARE(DialogHook::Shown().back().text, QStringLiteral("Delete folder permanently?"));
        QCOMPARE(DialogHook::Shown().back().icon, MsgIcon::Question);
        QVERIFY(fs::exists(a.toStdString()));
        f.window->ToolButtonDel->click();
        QVERIFY(!fs::exists(a.toStdString()));
        QCOMPARE(LastText(), QStringLiteral("Folder deleted"));
        QCOMPARE(f.window->DirectoryList->topLevelItemCount(), 1);
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), QStringLiteral("Folder not found!"));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Fehler"));

        // Three rows, none selected: nothing to act on.
        f.window->ToolButtonNew->click();
        DialogHook::PushTextList({c, b, c});
        f.window->ToolButtonOpen->click();
        f.Select({});
        f.window->ToolButtonDel->click();
        QCOMPARE(LastText(), QStringLiteral("No directory selected"));
        QCOMPARE(DialogHook::Shown().back().caption, QStringLiteral("Informationen"));

        // The second and third rows selected: the second, B.
        f.Select({1, 2});
        f.window->ToolButtonDel->click();
        QVERIFY(!fs::exists(b.toStdString()));
        QVERIFY(fs::exists(c.toStdString()));
    }

    void aFolderHoldingTheHomeFolderIsNeverDeleted()
    {
        Fixture f;
        const QString outer = f.MakeFolder("Users");
        fs::create_directories(f.dir / "Users" / "me");
        f.env.home = (f.dir / "Users" / "me").string();
        f.Show(1, {outer});
        f.window->ToolButtonDel->click();
        // Refused before the question, with the reason.
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(LastText(), QStringLiteral("This folder is not deleted: it is the root folder, or it holds the "
                                            "running program or your home folder."));
        QVERIFY(fs::exists(f.dir / "Users" / "file.txt"));
    }

    void protectZipHandsTheTargetRowToTheZipTool()
    {
        Fixture f;
        const QString a = f.MakeFolder("A");
        const QString b = f.MakeFolder("B");
        f.zip->Edit1->setText(QStringLiteral("before"));
        f.zip->Edit3->setText(QStringLiteral("before.zip"));

        f.Show(0, {a, b});
        QTimer::singleShot(0, f.zip.get(), [&] { f.zip->close(); });
        f.window->ToolButtonZip->click();
        QCOMPARE(f.zip->Edit1->text(), QStringLiteral("before")); // none selected: fields unchanged
        QCOMPARE(f.zip->Sprache, 0);
        QCOMPARE(f.zip->windowTitle(), QStringLiteral("Ordner schützen/packen"));

        f.Select({1});
        QTimer::singleShot(0, f.zip.get(), [&] { f.zip->close(); });
        f.window->ToolButtonZip->click();
        QCOMPARE(f.zip->Edit1->text(), b);
        QCOMPARE(f.zip->Edit3->text(), b + QStringLiteral(".zip"));
    }

    void newDateTable()
    {
        struct Case {
            const char* entered;
            bool set;
            QString message; // the message shown, empty for none
        };
        const Case cases[] = {
            {"1.3.2021", true, {}},
            {"31.12.2107", true, {}},
            {"31.12.1979", false,
             QStringLiteral("The date cannot be stored: folder dates must lie between 1980 and 2107. "
                            "No folder was changed.")},
            {"1.1.2108", false,
             QStringLiteral("The date cannot be stored: folder dates must lie between 1980 and 2107. "
                            "No folder was changed.")},
            {"abc", false, QStringLiteral("''abc'' ist kein gültiges Datum")},
            {"12:00", false, QStringLiteral("''12:00'' ist kein gültiges Datum")},
        };
        for (const Case& c : cases) {
            DialogHook::Reset();
            Fixture f;
            const QString a = f.MakeFolder("A");
            const QString b = f.MakeFolder("B");
            f.Show(1, {a, b + QStringLiteral("/")});
            f.Select({0});
            f.window->EditDate->setText(QString::fromLatin1(c.entered));
            const std::size_t callsBefore = f.shell.calls.size();
            f.window->ToolButtonDate->click();
            if (c.set) {
                // Every row, selected or not, at midnight; the column shows the short date.
                const TDateTime expected = *ParseDateTimeText(c.entered, GermanStyleFormats());
                QCOMPARE(f.times.sets.size(), std::size_t(2));
                QCOMPARE(f.times.sets[0].first, a.toStdString());
                QCOMPARE(f.times.sets[1].first, (b + QStringLiteral("/")).toStdString());
                QCOMPARE(f.times.sets[1].second, expected);
                QCOMPARE(f.Cell(0, 2), QString::fromStdString(FormatDateText(expected, GermanStyleFormats())));
                QCOMPARE(f.Cell(1, 2), f.Cell(0, 2));
                QVERIFY(DialogHook::Shown().empty());
                // The file manager once, on the parent of the last row's folder.
                QCOMPARE(f.shell.calls.size(), callsBefore + 1);
                QCOMPARE(f.shell.calls.back().args, (std::vector<std::string>{f.dir.path().string() + "/"}));
            } else {
                QVERIFY2(f.times.sets.empty(), c.entered);
                QCOMPARE(LastText(), c.message);
                QCOMPARE(f.Cell(0, 2), QStringLiteral("06.05.2020"));
                QCOMPARE(f.shell.calls.size(), callsBefore);
            }
        }
        // An empty list does nothing, whatever the field holds.
        DialogHook::Reset();
        Fixture f;
        f.window->show();
        f.window->EditDate->setText(QStringLiteral("abc"));
        f.window->ToolButtonDate->click();
        QVERIFY(DialogHook::Shown().empty());
        QVERIFY(f.shell.calls.empty());
    }

    void aFolderOfAnotherOwnerIsNeverRecreatedAndTheMessageSaysWhy()
    {
        Fixture f;
        const QString a = f.MakeFolder("A");
        const QString b = f.MakeFolder("B");
        fs::create_directories(f.dir / "A" / "Sub");
        test::WriteFile(f.dir / "A" / "Sub" / ".deep", "deep");
        f.times.refuse.insert(a.toStdString()); // EPERM: not the owner
        f.Show(1, {a, b});
        f.window->EditDate->setText(QStringLiteral("01.03.2021"));
        f.window->ToolButtonDate->click();
        QCOMPARE(f.times.sets.size(), std::size_t(1)); // B only
        QCOMPARE(test::ReadFile(f.dir / "A" / "Sub" / ".deep"), std::string("deep"));
        QVERIFY(!fs::exists(f.dir / "A2"));
        QCOMPARE(f.Cell(0, 2), QStringLiteral("06.05.2020")); // the row keeps its date text
        QCOMPARE(f.Cell(1, 2), QStringLiteral("01.03.2021"));
        QCOMPARE(DialogHook::Shown().size(), std::size_t(1));
        QCOMPARE(DialogHook::Shown()[0].icon, MsgIcon::Error);
        QCOMPARE(LastText(), QStringLiteral("The date of '%1' was not set: only the folder's owner or an administrator "
                                            "may change its times. The folder was left as it is.")
                                 .arg(a));
    }

    // Folders reach the list by drop and by paste, from a file manager (URLs) or as text; a
    // file, a missing path and a URL of another kind are passed over.
    void droppedAndPastedFoldersJoinTheList()
    {
        Fixture f;
        const QString a = f.MakeFolder("A");
        const QString umlaut = f.MakeFolder("Bä");
        const QString file = QString::fromStdString((f.dir / "A" / "file.txt").string());
        f.window->MyLanguage = 1;
        f.window->show();

        auto urls = std::make_unique<QMimeData>();
        urls->setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(file), QUrl(QStringLiteral("https://example.org/")),
                       QUrl::fromLocalFile(umlaut + QStringLiteral("/"))});
        const QPointF at(200, 100);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, urls.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, urls.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.window.get(), &drop);
        QCOMPARE(f.window->DirectoryList->topLevelItemCount(), 2);
        QCOMPARE(f.Cell(0, 1), a);
        QCOMPARE(f.Cell(1, 1), umlaut); // without the trailing separator, as the picker gives it
        QCOMPARE(f.Cell(1, 2), QStringLiteral("06.05.2020"));

        // Paste into the list: paths as text, one a line, blanks and quotes around them.
        auto text = new QMimeData;
        text->setText(QStringLiteral("  \"%1\"\r\n%2\n%3/missing\n").arg(umlaut, file, a));
        QGuiApplication::clipboard()->setMimeData(text);
        f.window->DirectoryList->setFocus();
        QTest::keyClick(f.window->DirectoryList, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.window->DirectoryList->topLevelItemCount(), 3);
        QCOMPARE(f.Cell(2, 1), umlaut);
        QVERIFY(DialogHook::Shown().empty());
    }

    void theEmptyFirstColumnIsTwoPixelsWide()
    {
        Fixture f;
        f.Show(1, {f.MakeFolder("A")});
        QCOMPARE(f.window->DirectoryList->columnWidth(0), 2);
        QCOMPARE(f.window->DirectoryList->columnWidth(1), 360);
        QVERIFY(!f.window->DirectoryList->horizontalScrollBar()->isVisible());
    }
};

QTEST_MAIN(FolderWindowTest)
#include "FolderWindowTest.moc"
