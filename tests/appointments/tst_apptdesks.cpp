// The appointment window on one of several desks sharing the file: every
// commit is stored at once, and what other desks save shows up on the page
// without disturbing the person typing. The merge rules themselves are
// DayMerge's, tested in core; here each kind of other desk (a real
// appointment window, a connection of this process, a store holding the
// file) shows them reach the window.

#include "DeskProcess.h"
#include "Keyboard.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

using Keyboard::focus;
using Keyboard::press;
using Keyboard::type;

class TestApptDesks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    std::unique_ptr<ApptWindow> m_window;

    Database& db() { return m_data->db(); }
    QLineEdit* editBox() const { return m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor")); }
    QPlainTextEdit* pad(const char* name) const { return m_window->findChild<QPlainTextEdit*>(QLatin1String(name)); }

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
        m_window = std::make_unique<ApptWindow>(db(), Windows::host());
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        m_data.reset();
    }

    void committedCellIsStoredAtOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Tab") << int(Qt::Key_Tab);
    }

    void committedCellIsStoredAtOnce()
    {
        QFETCH(int, key);
        startEdit(3, 2, QStringLiteral("SMITH"));
        QCOMPARE(storedCell(db(), 3, 2), QString()); // still being typed
        press(key);
        QCOMPARE(storedCell(db(), 3, 2), QStringLiteral("SMITH"));
        QCOMPARE(m_window->currentDate(), TestSupport::Today);

        // Emptied again, the day keeps its record while shown; left, it is
        // deleted as before.
        startEdit(3, 2, QStringLiteral("X"));
        editBox()->clear();
        press(key);
        QCOMPARE(storedCell(db(), 3, 2), QString());
        QVERIFY(TestSupport::storedDay(db()));
        m_window->close();
        QVERIFY(!TestSupport::storedDay(db()));
    }

    // The memo's pause commits the day while a cell is still being typed:
    // the cell waits for its edit to end.
    void cellBeingTypedIsStoredWhenItsEditEnds()
    {
        startEdit(3, 2, QStringLiteral("KI"));
        QTest::mouseClick(pad("dailyMemoEdit")->viewport(), Qt::LeftButton);
        QCOMPARE(focus(), pad("dailyMemoEdit"));
        type(QStringLiteral("ring back"));
        QTRY_COMPARE_WITH_TIMEOUT(TestSupport::storedDay(db())->memo, QStringLiteral("ring back"), 10'000);
        QVERIFY(editBox()->isVisible());
        QCOMPARE(storedCell(db(), 3, 2), QString());
        press(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(storedCell(db(), 3, 2), QStringLiteral("KI"));
    }

    // Another appointment window, in a process of its own, books while a
    // cell is being typed here: the edit goes on untouched, a cell on this
    // page not yet stored keeps both names, and each window sees what the
    // other commits.
    void twoRealWindowsSeeEachOthersNames()
    {
        DeskProcess desk(QStringLiteral(DESK_WINDOW), {m_data->folder(), m_data->databasePath()});
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        m_window->grid()->setCellText(5, 1, QStringLiteral("GREEN")); // as a declined retry leaves it
        startEdit(3, 2, QStringLiteral("KIM"));
        editBox()->setCursorPosition(1);
        type(QStringLiteral("A"));
        desk.send("edit 3 2 BROWN\nenter\nedit 5 1 GRAY\nenter\nedit 2 1 SMITH\nenter");
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(desk.next(), QStringLiteral("editing"));
            QCOMPARE(desk.next(), QStringLiteral("entered"));
        }
        QTRY_COMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("SMITH"));
        QCOMPARE(m_window->grid()->cellText(5, 1), QStringLiteral("GREEN / GRAY"));
        QCOMPARE(focus(), editBox());
        QCOMPARE(editBox()->text(), QStringLiteral("KAIM"));
        QCOMPARE(editBox()->cursorPosition(), 2);
        QCOMPARE(m_window->grid()->currentRowGrid(), 3);

        press(Qt::Key_Return);
        QCOMPARE(m_window->grid()->cellText(3, 2), QStringLiteral("KAIM / BROWN"));
        QTRY_COMPARE(desk.ask("cell 3 2"), QStringLiteral("cell KAIM / BROWN"));
        QVERIFY(desk.end());
        QCOMPARE(storedCell(db(), 3, 2), QStringLiteral("KAIM / BROWN"));
        QCOMPARE(storedCell(db(), 5, 1), QStringLiteral("GREEN / GRAY"));
        QCOMPARE(storedCell(db(), 2, 1), QStringLiteral("SMITH"));
    }

    // Another desk, through a connection of its own, closes the day and
    // changes both memos while the daily memo is being typed here: the flag
    // and the fixed memo follow, the daily memo keeps both texts and its
    // cursor.
    void otherDesksClosedFlagAndMemosFollow()
    {
        press(Qt::Key_D, Qt::AltModifier);
        type(QStringLiteral("ring back"));
        QTextCursor cursor = pad("dailyMemoEdit")->textCursor();
        cursor.setPosition(4);
        pad("dailyMemoEdit")->setTextCursor(cursor);
        Database other(QStringLiteral("other desk"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QVERIFY(changeToday(other, [](DayRecord& r) {
            r.closed = true;
            r.memo = QStringLiteral("holiday");
        }));
        QVERIFY(SettingsStore(other).writeFixedMemo(QStringLiteral("new number 555")).ok());
        QTRY_COMPARE(m_window->grid()->cellBackground(), ApptWindow::ClosedDayColour);
        QVERIFY(m_window->findChild<QCheckBox*>(QStringLiteral("closedCheck"))->isChecked());
        QTRY_COMPARE(pad("fixedMemoEdit")->toPlainText(), QStringLiteral("new number 555"));
        QCOMPARE(pad("dailyMemoEdit")->toPlainText(), QStringLiteral("ring back\nholiday"));
        QCOMPARE(pad("dailyMemoEdit")->textCursor().position(), 4);
        QCOMPARE(focus(), pad("dailyMemoEdit"));
    }

    // Another copy of the store holds the file longer than the window waits:
    // No keeps the text on the page (and the window open), Yes once the file
    // is free stores it all.
    void busyLongerThanTheRetryBoundLosesNothing()
    {
        DeskProcess holder(QStringLiteral(STORE_STRESS), {QStringLiteral("hold-lock"), m_data->databasePath()});
        QCOMPARE(holder.next(), QStringLiteral("locked"));
        db().retry().pause = [](qint64) {};
        Dialogs::pushAnswer(Dialogs::No);
        startEdit(2, 1, QStringLiteral("WHITE"));
        press(Qt::Key_Return);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("WHITE"));
        Dialogs::pushAnswer(Dialogs::No);
        QVERIFY(!m_window->close());

        Dialogs::pushAnswer(Dialogs::Yes, [&] { QVERIFY(holder.end("release")); });
        startEdit(3, 1, QStringLiteral("BLACK"));
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::shown().size(), 3);
        QCOMPARE(storedCell(db(), 2, 1), QStringLiteral("WHITE"));
        QCOMPARE(storedCell(db(), 3, 1), QStringLiteral("BLACK"));
    }

    // Each kind of change taken back and done again, with the focus where the
    // change left it: stored at once, so the other desk shows every step. A
    // memo still being typed is a step of its own before the undo.
    void undoAndRedoReachTheOtherDesk_data()
    {
        QTest::addColumn<QString>("edit"); // keys from the first slot, which has the focus
        QTest::addColumn<QString>("before"); // slot|daily memo|fixed memo|closed
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("redoKey");
        const auto row
            = [](const char* name, const char* edit, const char* before, const char* after, const char* redo) {
                  QTest::newRow(name) << QString(edit) << QString(before) << QString(after) << QString(redo);
              };
        row("slot", "K, I, M, Return", "|||0", "kim|||0", "Ctrl+Y");
        row("Delete", "K, Return, Del", "k|||0", "|||0", "Ctrl+Shift+Z");
        row("memo", "Alt+D, A, B, Tab", "|||0", "|ab||0", "Ctrl+Y");
        row("fixed memo", "Alt+F, A, B, Tab", "|||0", "||ab|0", "Ctrl+Shift+Z");
        row("closed", "Alt+C, Down, Tab", "|||0", "|||1", "Ctrl+Y");
    }

    void undoAndRedoReachTheOtherDesk()
    {
        QFETCH(QString, edit);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, redoKey);
        const QKeySequence keys = QKeySequence::fromString(edit, QKeySequence::PortableText);
        DeskProcess desk(QStringLiteral(DESK_WINDOW), {m_data->folder(), m_data->databasePath()});
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        for (int i = 0; i < keys.count(); ++i)
            press(keys[i].key(), keys[i].keyboardModifiers());
        for (const QString& shown : {before, after}) {
            const QKeyCombination key
                = QKeySequence::fromString(shown == before ? QStringLiteral("Ctrl+Z") : redoKey)[0];
            press(key.key(), key.keyboardModifiers());
            QCOMPARE(QStringLiteral("%1|%2|%3|%4")
                         .arg(m_window->grid()->cellText(2, 1), pad("dailyMemoEdit")->toPlainText(),
                             pad("fixedMemoEdit")->toPlainText())
                         .arg(int(m_window->findChild<QCheckBox*>(QStringLiteral("closedCheck"))->isChecked())),
                shown);
            QTRY_COMPARE(desk.ask("day 2 1"), QStringLiteral("day ") + shown);
        }
        QVERIFY(desk.end());
    }

    void restoreElsewhereIsFollowedByTheDesk() { restoreWhileADeskTypes(*m_data); }
};

QTEST_MAIN(TestApptDesks)
#include "tst_apptdesks.moc"
