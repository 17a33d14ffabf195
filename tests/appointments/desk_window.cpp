// One desk of the practice for the tests: the real appointment window on a
// data folder, in a process of its own, typed into through standard input as
// a person types at the keyboard.
//
//   desk_window <data folder> [<database address>]
//
// The database is the folder's db.mdb unless a postgresql:// address is given.
//
// Prints "ready" once today's page is shown. Commands, one per line:
//   book R C TEXT    types TEXT into cell (R, C) and presses Enter; prints
//                    "booked T" once the commit is done (T: wall clock, ms)
//   edit R C TEXT    types TEXT into cell (R, C), leaving the edit box open;
//                    prints "editing"
//   memo TEXT        types TEXT into the daily memo pad; prints "typed"
//   enter            presses Enter where the focus is; prints "entered"
//   cell R C         prints "cell TEXT" with the text the grid shows
//   editor           prints "editor V TEXT": V is 1 while the edit box is
//                    open, TEXT its text
//   watch R C TEXT   prints "seen T" as soon as cell (R, C) shows TEXT
//   dialogs          prints "dialogs N TEXT": how many messages the window
//                    has shown, TEXT the last one's
//   question         the next message the window shows prints "question T
//                    TEXT" (T: wall clock, ms) and waits for "answer"
//   answer           answers that message with its default button, as Enter
//                    does; prints "answered"
//   backend          prints "backend PID": the server process of the desk's
//                    database connection
//   quit             closes the window (which saves the day) and ends

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString now()
{
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}

void type(const QString& text)
{
    for (QChar c : text) {
        if (QWidget* w = QApplication::focusWidget())
            QTest::keyClick(w, c.toLatin1());
    }
}

class Desk : public QObject
{
public:
    Desk(ApptWindow* window, Database& db)
        : m_window(window)
        , m_db(db)
        , m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_input, &QSocketNotifier::activated, this, &Desk::readInput);
    }

private:
    void readInput()
    {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_input.setEnabled(false);
            quit();
            return;
        }
        m_pending.append(buffer, n);
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            run(line);
        }
    }

    void startEdit(int row, int col, const QString& text)
    {
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(row, col);
        type(text);
    }

    void run(const QString& line)
    {
        const QStringList words = line.split(QLatin1Char(' '));
        const QString command = words.value(0);
        const int row = words.value(1).toInt();
        const int col = words.value(2).toInt();
        const QString rest = line.section(QLatin1Char(' '), 3);
        if (command == QLatin1String("book")) {
            startEdit(row, col, rest);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            say(QStringLiteral("booked ") + now());
        } else if (command == QLatin1String("edit")) {
            startEdit(row, col, rest);
            say(QStringLiteral("editing"));
        } else if (command == QLatin1String("memo")) {
            m_window->findChild<QPlainTextEdit*>(QStringLiteral("dailyMemoEdit"))->setFocus();
            type(line.section(QLatin1Char(' '), 1));
            say(QStringLiteral("typed"));
        } else if (command == QLatin1String("enter")) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            say(QStringLiteral("entered"));
        } else if (command == QLatin1String("dialogs")) {
            const QList<Dialogs::Shown> shown = Dialogs::shown();
            say(QStringLiteral("dialogs %1 %2").arg(shown.size()).arg(shown.isEmpty() ? QString() : shown.last().text));
        } else if (command == QLatin1String("cell")) {
            say(QStringLiteral("cell ") + m_window->grid()->cellText(row, col));
        } else if (command == QLatin1String("editor")) {
            const auto* edit = m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor"));
            say(QStringLiteral("editor %1 %2").arg(edit->isVisible() ? 1 : 0).arg(edit->text()));
        } else if (command == QLatin1String("watch")) {
            watch(row, col, rest);
        } else if (command == QLatin1String("question")) {
            Dialogs::pushAnswer(Dialogs::Yes, [this] {
                say(QStringLiteral("question %1 %2").arg(now(), Dialogs::shown().last().text));
                QEventLoop shown;
                m_question = &shown;
                shown.exec();
                m_question = nullptr;
            });
        } else if (command == QLatin1String("answer")) {
            if (m_question)
                m_question->quit();
            say(QStringLiteral("answered"));
        } else if (command == QLatin1String("backend")) {
            QSqlQuery q(m_db.connection());
            q.exec(QStringLiteral("SELECT pg_backend_pid()"));
            say(QStringLiteral("backend ") + (q.next() ? q.value(0).toString() : QString()));
        } else if (command == QLatin1String("quit")) {
            quit();
        }
    }

    void watch(int row, int col, const QString& text)
    {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timer, row, col, text] {
            if (m_window->grid()->cellText(row, col) != text)
                return;
            say(QStringLiteral("seen ") + now());
            timer->deleteLater();
        });
        timer->start(5);
    }

    void quit()
    {
        m_window->close();
        QCoreApplication::quit();
    }

    ApptWindow* m_window;
    Database& m_db;
    QSocketNotifier m_input;
    QByteArray m_pending;
    QEventLoop* m_question = nullptr; // runs while a message waits for "answer"
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3)
        return 2;
    DataFolder::setPath(QString::fromLocal8Bit(argv[1]));
    if (argc == 3)
        DataFolder::setDatabaseAddress(QString::fromLocal8Bit(argv[2]));
    Database db;
    const Result opened = db.open(DataFolder::databaseAddress());
    if (!opened.ok()) {
        std::fprintf(stderr, "desk_window: %s\n", qPrintable(opened.message));
        return 3;
    }
    auto* window = new ApptWindow(db, Windows::host());
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return 4;
    Desk desk(window, db);
    say(QStringLiteral("ready"));
    const int rc = QApplication::exec();
    delete window;
    return rc;
}
