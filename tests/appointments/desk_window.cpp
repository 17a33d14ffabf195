// One desk of the practice for the tests: the real appointment window on a
// data folder, in a process of its own, typed into through standard input as
// a person types at the keyboard.
//
//   desk_window <data folder> <database address>
//
// Prints "ready" once today's page is shown. Commands, one per line:
//   edit R C TEXT    types TEXT into cell (R, C), leaving the edit box open; prints "editing"
//   enter            presses Enter where the focus is; prints "entered" (a question it
//                    asks meanwhile gets its default answer, as Enter gives it)
//   cell R C         prints "cell TEXT": what cell (R, C) shows
//   day R C          prints "day CELL|MEMO|FIXED MEMO|CLOSED": cell (R, C), both memo pads, closed 0 or 1
//   dialogs          prints "dialogs N TEXT": how many messages the window has shown, TEXT the last one's
//   backend          prints "backend PID": the server process of the desk's database connection
//   quit             closes the window (which saves the day) and ends

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTest>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void type(const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

void run(ApptWindow* window, Database& db, const QString& line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const int row = line.section(QLatin1Char(' '), 1, 1).toInt();
    const int col = line.section(QLatin1Char(' '), 2, 2).toInt();
    if (command == QLatin1String("edit")) {
        window->grid()->setFocus();
        window->grid()->setCurrentCell(row, col);
        type(line.section(QLatin1Char(' '), 3));
        say(QStringLiteral("editing"));
    } else if (command == QLatin1String("enter")) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        say(QStringLiteral("entered"));
    } else if (command == QLatin1String("cell")) {
        say(QStringLiteral("cell ") + window->grid()->cellText(row, col));
    } else if (command == QLatin1String("day")) {
        say(QStringLiteral("day %1|%2|%3|%4")
                .arg(window->grid()->cellText(row, col),
                    window->findChild<QPlainTextEdit*>(QStringLiteral("dailyMemoEdit"))->toPlainText(),
                    window->findChild<QPlainTextEdit*>(QStringLiteral("fixedMemoEdit"))->toPlainText())
                .arg(int(window->findChild<QCheckBox*>(QStringLiteral("closedCheck"))->isChecked())));
    } else if (command == QLatin1String("dialogs")) {
        const QList<Dialogs::Shown> shown = Dialogs::shown();
        say(QStringLiteral("dialogs %1 %2").arg(shown.size()).arg(shown.isEmpty() ? QString() : shown.last().text));
    } else if (command == QLatin1String("backend")) {
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("SELECT pg_backend_pid()"));
        say(QStringLiteral("backend ") + (q.next() ? q.value(0).toString() : QString()));
    } else if (command == QLatin1String("quit")) {
        window->close();
        QCoreApplication::quit();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    DataFolder::setPath(QString::fromLocal8Bit(argv[1]));
    DataFolder::setDatabaseAddress(QString::fromLocal8Bit(argv[2]));
    Database db;
    if (!db.open(DataFolder::databaseAddress()).ok())
        return 3;
    ApptWindow window(db, Windows::host());
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        return 4;
    // Standard input, read as it comes; its end quits too.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        pending.append(n > 0 ? QByteArray(buffer, n) : QByteArray("\nquit\n"));
        input.setEnabled(n > 0);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            run(&window, db, line);
        }
    });
    say(QStringLiteral("ready"));
    return QApplication::exec();
}
