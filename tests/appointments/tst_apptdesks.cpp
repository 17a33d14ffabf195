// The appointment window on one of several desks sharing the file: every
// commit is stored at once, and what other desks save shows up on the page
// without disturbing the person typing.
//
// The other desk is either a second connection in this process or a real
// process: another appointment window (desk_window) or a copy of the store
// holding the file (store_stress hold-lock). The merge rules themselves are
// DayMerge's, tested in core; here one desk of each kind shows them reach
// the window.

#include "Keyboard.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "core/PageText.h"
#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::Today;

using Keyboard::focus;
using Keyboard::press;
using Keyboard::type;
using TestSupport::cellOf;

namespace {

QString storedCell(Database& db, int row, int col)
{
    const std::optional<DayRecord> rec = TestSupport::storedDay(db);
    return rec ? cellOf(rec->pageText, row, col) : QStringLiteral("<no record>");
}

// Another desk saving today's page through its own connection, as the window
// saves: read, change, save with merge.
class OtherDesk
{
public:
    explicit OtherDesk(const QString& path)
    {
        if (!m_db.open(path).ok())
            qFatal("cannot open the other desk's connection");
    }

    Database& db() { return m_db; }

    bool save(const std::function<void(DayRecord&)>& change)
    {
        std::optional<DayRecord> base;
        if (!DayStore(m_db).find(Today, base).ok() || !base)
            return false;
        DayRecord edited = *base;
        change(edited);
        return DayStore(m_db).save(*base, edited, DayStore::SaveMode::KeepEmpty).status.ok();
    }

private:
    Database m_db {QStringLiteral("other desk")};
};

// A process of the program's store or window, spoken to line by line.
class Child
{
public:
    Child(const QString& program, const QStringList& args)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, args);
        if (!m_process.waitForStarted())
            qWarning("%s: %s", qPrintable(program), qPrintable(m_process.errorString()));
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QProcess& process() { return m_process; }

    void send(const QByteArray& line) { m_process.write(line + '\n'); }

    // The next line it prints, waiting with the event loop running so that
    // this process's own windows keep working meanwhile.
    QString next(int timeoutMillis = 30'000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < timeoutMillis && m_process.state() == QProcess::Running)
            QTest::qWait(5);
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
};

} // namespace

class TestApptDesks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    ApptWindow* m_window = nullptr;

    ApptWindow* openWindow()
    {
        m_window = new ApptWindow(m_data->db(), Windows::host());
        m_window->show();
        QApplication::setActiveWindow(m_window);
        if (!QTest::qWaitForWindowActive(m_window))
            qWarning("window not active");
        return m_window;
    }

    QLineEdit* editBox() const { return m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor")); }
    QPlainTextEdit* pad(const char* name) const
    {
        return m_window->findChild<QPlainTextEdit*>(QString::fromLatin1(name));
    }

    void startEdit(int row, int col, const QString& text)
    {
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(row, col);
        type(text);
    }

private slots:
    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<TestSupport::DataFixture>();
    }

    void cleanup()
    {
        delete m_window;
        m_window = nullptr;
        m_data.reset();
    }

    // ---- Durability

    void committedCellIsStoredAtOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Tab") << int(Qt::Key_Tab);
    }

    void committedCellIsStoredAtOnce()
    {
        QFETCH(int, key);
        openWindow();
        startEdit(3, 2, QStringLiteral("SMITH"));
        QCOMPARE(storedCell(m_data->db(), 3, 2), QString()); // still being typed
        press(key);
        QCOMPARE(storedCell(m_data->db(), 3, 2), QStringLiteral("SMITH"));
        QCOMPARE(m_window->currentDate(), Today);

        // Emptied again, the day keeps its record while shown; left, it is
        // deleted as before.
        startEdit(3, 2, QStringLiteral("X"));
        editBox()->clear();
        press(key);
        QCOMPARE(storedCell(m_data->db(), 3, 2), QString());
        QVERIFY(TestSupport::storedDay(m_data->db()));
        m_window->close();
        QVERIFY(!TestSupport::storedDay(m_data->db()));
    }

    void memoPadsAreStoredAfterAPauseInTyping_data()
    {
        QTest::addColumn<bool>("fixed");
        QTest::newRow("daily memo") << false;
        QTest::newRow("fixed memo") << true;
    }

    void memoPadsAreStoredAfterAPauseInTyping()
    {
        QFETCH(bool, fixed);
        openWindow();
        press(fixed ? Qt::Key_F : Qt::Key_D, Qt::AltModifier);
        QCOMPARE(focus(), pad(fixed ? "fixedMemoEdit" : "dailyMemoEdit"));
        type(QStringLiteral("call the lab"));
        const auto storedMemo = [&] {
            Settings s;
            if (!SettingsStore(m_data->db()).read(s).ok())
                return QStringLiteral("unreadable");
            return fixed ? s.fixedMemo : TestSupport::storedDay(m_data->db())->memo;
        };
        QCOMPARE(storedMemo(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(storedMemo(), QStringLiteral("call the lab"), 10'000);
        QCOMPARE(focus(), pad(fixed ? "fixedMemoEdit" : "dailyMemoEdit"));
        QCOMPARE(m_window->currentDate(), Today);
    }

    // The memo's pause commits the day while a cell is still being typed:
    // the cell waits for its edit to end.
    void cellBeingTypedIsStoredWhenItsEditEnds()
    {
        openWindow();
        startEdit(3, 2, QStringLiteral("KI"));
        QTest::mouseClick(pad("dailyMemoEdit")->viewport(), Qt::LeftButton);
        QCOMPARE(focus(), pad("dailyMemoEdit"));
        type(QStringLiteral("ring back"));
        QTRY_COMPARE_WITH_TIMEOUT(TestSupport::storedDay(m_data->db())->memo, QStringLiteral("ring back"), 10'000);
        QVERIFY(editBox()->isVisible());
        QCOMPARE(storedCell(m_data->db(), 3, 2), QString());
        press(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(storedCell(m_data->db(), 3, 2), QStringLiteral("KI"));
    }

    // ---- Live refresh (the other desk is a connection of this process)

    void otherDesksSavesAreMergedAroundTheEdit()
    {
        openWindow();
        OtherDesk other(m_data->databasePath());
        startEdit(2, 1, QStringLiteral("SMITH"));
        press(Qt::Key_Return);
        // Typed here but not yet stored (a declined retry leaves it so).
        m_window->grid()->setCellText(5, 1, QStringLiteral("GREEN"));
        // Being typed right now, the cursor in the middle.
        startEdit(3, 2, QStringLiteral("KIM"));
        editBox()->setCursorPosition(1);
        type(QStringLiteral("A"));
        QCOMPARE(editBox()->text(), QStringLiteral("KAIM"));

        QVERIFY(other.save([](DayRecord& r) {
            PageText::Cells cells = PageText::split(r.pageText);
            cells[1][0] = QStringLiteral("SMITH JOHN"); // changed there only
            cells[3][0] = QStringLiteral("JONES"); // a new booking
            cells[4][0] = QStringLiteral("GRAY"); // where this desk typed GREEN
            cells[2][1] = QStringLiteral("BROWN"); // the cell being typed here
            r.pageText = PageText::join(cells);
            r.memo = QStringLiteral("lab closed");
        }));

        QTRY_COMPARE(m_window->grid()->cellText(4, 1), QStringLiteral("JONES"));
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("SMITH JOHN"));
        QCOMPARE(m_window->grid()->cellText(5, 1), QStringLiteral("GREEN / GRAY"));
        QCOMPARE(pad("dailyMemoEdit")->toPlainText(), QStringLiteral("lab closed"));
        // The edit goes on untouched.
        QVERIFY(editBox()->isVisible());
        QCOMPARE(focus(), editBox());
        QCOMPARE(editBox()->text(), QStringLiteral("KAIM"));
        QCOMPARE(editBox()->cursorPosition(), 2);
        QCOMPARE(m_window->grid()->cellText(3, 2), QStringLiteral("KAIM"));
        QCOMPARE(m_window->grid()->currentRowGrid(), 3);
        QCOMPARE(m_window->grid()->currentColGrid(), 2);

        // Its commit keeps both names of the cell, and everything else.
        press(Qt::Key_Return);
        QCOMPARE(m_window->grid()->cellText(3, 2), QStringLiteral("KAIM / BROWN"));
        const QString data = TestSupport::storedDay(m_data->db())->pageText;
        QCOMPARE(cellOf(data, 3, 2), QStringLiteral("KAIM / BROWN"));
        QCOMPARE(cellOf(data, 5, 1), QStringLiteral("GREEN / GRAY"));
        QCOMPARE(cellOf(data, 2, 1), QStringLiteral("SMITH JOHN"));
        QCOMPARE(cellOf(data, 4, 1), QStringLiteral("JONES"));
        QCOMPARE(TestSupport::storedDay(m_data->db())->memo, QStringLiteral("lab closed"));
    }

    void otherDesksClosedFlagAndMemosFollow()
    {
        openWindow();
        OtherDesk other(m_data->databasePath());
        // A memo being typed here, not yet stored.
        press(Qt::Key_D, Qt::AltModifier);
        type(QStringLiteral("ring back"));
        QTextCursor cursor = pad("dailyMemoEdit")->textCursor();
        cursor.setPosition(4);
        pad("dailyMemoEdit")->setTextCursor(cursor);

        QVERIFY(other.save([](DayRecord& r) {
            r.closed = true;
            r.memo = QStringLiteral("holiday");
        }));
        QVERIFY(SettingsStore(other.db()).writeFixedMemo(QStringLiteral("new number 555")).ok());

        auto* check = m_window->findChild<QCheckBox*>(QStringLiteral("closedCheck"));
        QTRY_VERIFY(check->isChecked());
        QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("openClosedCombo"))->currentIndex(), 1);
        QCOMPARE(m_window->grid()->cellBackground(), ApptWindow::ClosedDayColour);
        QTRY_COMPARE(pad("fixedMemoEdit")->toPlainText(), QStringLiteral("new number 555"));
        // Both memos changed: both texts kept, the cursor where it was.
        QCOMPARE(pad("dailyMemoEdit")->toPlainText(), QStringLiteral("ring back\nholiday"));
        QCOMPARE(pad("dailyMemoEdit")->textCursor().position(), 4);
        QCOMPARE(focus(), pad("dailyMemoEdit"));

        // Leaving keeps the merged texts, and the fixed memo is not written back over.
        m_window->close();
        QCOMPARE(TestSupport::storedDay(m_data->db())->memo, QStringLiteral("ring back\nholiday"));
        QVERIFY(TestSupport::storedDay(m_data->db())->closed);
        Settings s;
        QVERIFY(SettingsStore(m_data->db()).read(s).ok());
        QCOMPARE(s.fixedMemo, QStringLiteral("new number 555"));
    }

    // ---- Real processes

    void busyLongerThanTheRetryBoundLosesNothing()
    {
        openWindow();
        Child holder(QStringLiteral(STORE_STRESS), {QStringLiteral("hold-lock"), m_data->databasePath()});
        QCOMPARE(holder.next(), QStringLiteral("locked"));
        m_data->db().retry().pause = [](qint64) {};

        Dialogs::pushAnswer(Dialogs::No);
        startEdit(2, 1, QStringLiteral("WHITE"));
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QCOMPARE(Dialogs::shown().last().buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("WHITE"));

        // The next commit meets the lock too; it is released while the
        // question is up, and Yes stores both names.
        Dialogs::pushAnswer(Dialogs::Yes, [&] {
            holder.send("release");
            QVERIFY(holder.process().waitForFinished(30'000));
        });
        startEdit(3, 1, QStringLiteral("BLACK"));
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::shown().size(), 2);
        QCOMPARE(holder.process().exitCode(), 0);
        QCOMPARE(storedCell(m_data->db(), 2, 1), QStringLiteral("WHITE"));
        QCOMPARE(storedCell(m_data->db(), 3, 1), QStringLiteral("BLACK"));
    }

    void twoRealWindowsSeeEachOthersNames()
    {
        openWindow();
        Child desk(QStringLiteral(DESK_WINDOW), {m_data->folder()});
        QCOMPARE(desk.next(), QStringLiteral("ready"));

        // This desk is typing when the other one books.
        startEdit(3, 2, QStringLiteral("KI"));
        desk.send("book 2 1 SMITH");
        const QString booked = desk.next();
        QVERIFY2(booked.startsWith(QLatin1String("booked ")), qPrintable(booked));
        QElapsedTimer waited;
        waited.start();
        while (m_window->grid()->cellText(2, 1) != QLatin1String("SMITH") && waited.elapsed() < 10'000)
            QTest::qWait(5);
        const qint64 toHere = QDateTime::currentMSecsSinceEpoch() - booked.section(QLatin1Char(' '), 1).toLongLong();
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("SMITH"));
        QVERIFY(editBox()->isVisible());
        QCOMPARE(focus(), editBox());
        QCOMPARE(editBox()->text(), QStringLiteral("KI"));

        // And the other way round, while that desk types in another cell.
        desk.send("edit 5 3 LE");
        QCOMPARE(desk.next(), QStringLiteral("editing"));
        desk.send("watch 3 2 KIM");
        type(QStringLiteral("M"));
        press(Qt::Key_Return);
        const qint64 committed = QDateTime::currentMSecsSinceEpoch();
        const QString seen = desk.next();
        QVERIFY2(seen.startsWith(QLatin1String("seen ")), qPrintable(seen));
        const qint64 toThere = seen.section(QLatin1Char(' '), 1).toLongLong() - committed;
        desk.send("editor");
        QCOMPARE(desk.next(), QStringLiteral("editor 1 LE"));

        qInfo("refresh delay: %lld ms to this desk, %lld ms to the other", toHere, toThere);
        QVERIFY2(toHere < 2000, qPrintable(QString::number(toHere)));
        QVERIFY2(toThere < 2000, qPrintable(QString::number(toThere)));

        desk.send("quit");
        QVERIFY(desk.process().waitForFinished(30'000));
        QCOMPARE(desk.process().exitCode(), 0);
        const QString data = TestSupport::storedDay(m_data->db())->pageText;
        QCOMPARE(cellOf(data, 2, 1), QStringLiteral("SMITH"));
        QCOMPARE(cellOf(data, 3, 2), QStringLiteral("KIM"));
        QCOMPARE(cellOf(data, 5, 3), QStringLiteral("LE"));
    }
    // Another desk restores a back-up over the file this desk has open: the
    // desk goes on in the restored file, shows its day, and keeps only what
    // is being typed at that moment; the replaced file is left alone.
    void restoreElsewhereIsFollowedByTheDesk()
    {
        Settings settings;
        QVERIFY(SettingsStore(m_data->db()).read(settings).ok());
        TestSupport::bookCell(m_data->db(), Today, settings, 2, 1, QStringLiteral("SMITH"));
        TestSupport::bookCell(m_data->db(), Today, settings, 3, 2, QStringLiteral("OLD"));
        QVERIFY(
            OtherDesk(m_data->databasePath()).save([](DayRecord& r) { r.memo = QStringLiteral("from the back-up"); }));
        QTemporaryDir medium;
        const QString backup = BackupRestore::pathIn(medium.path());
        QCOMPARE(BackupRestore::backup(m_data->databasePath(), backup).message, QString());
        QVERIFY(OtherDesk(m_data->databasePath()).save([](DayRecord& r) {
            PageText::Cells cells = PageText::split(r.pageText);
            cells[1][0] = QStringLiteral("JONES");
            cells[2][1].clear();
            r.pageText = PageText::join(cells);
            r.memo.clear();
        }));

        Child desk(QStringLiteral(DESK_WINDOW), {m_data->folder()});
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        desk.send("memo ring back");
        QCOMPARE(desk.next(), QStringLiteral("typed"));
        desk.send("edit 3 2 KI");
        QCOMPARE(desk.next(), QStringLiteral("editing"));

        const BackupRestore::RestoreOutcome restored
            = BackupRestore::restore(backup, m_data->databasePath(), &m_data->db());
        QCOMPARE(restored.result.message, QString());
        const QString kept = m_data->folder() + QLatin1Char('/') + BackupRestore::KeptName;
        const QByteArray keptBytes = TestSupport::fileBytes(kept);

        desk.send("watch 2 1 SMITH");
        const QString seen = desk.next(10'000);
        QVERIFY2(seen.startsWith(QLatin1String("seen ")), qPrintable(seen));
        desk.send("editor");
        QCOMPARE(desk.next(), QStringLiteral("editor 1 KI"));
        desk.send("enter");
        QCOMPARE(desk.next(), QStringLiteral("entered"));
        desk.send("dialogs");
        QCOMPARE(desk.next(), QStringLiteral("dialogs 0"));
        desk.send("quit");
        QVERIFY(desk.process().waitForFinished(30'000));
        QCOMPARE(desk.process().exitCode(), 0);

        const std::optional<DayRecord> day = TestSupport::storedDay(m_data->db());
        QVERIFY(day);
        QCOMPARE(cellOf(day->pageText, 2, 1), QStringLiteral("SMITH"));
        QCOMPARE(cellOf(day->pageText, 3, 2), QStringLiteral("KI")); // typed over the restored OLD, not beside it
        QCOMPARE(day->memo, QStringLiteral("ring back"));
        QCOMPARE(TestSupport::fileBytes(kept), keptBytes);
    }
};

QTEST_MAIN(TestApptDesks)
#include "tst_apptdesks.moc"
