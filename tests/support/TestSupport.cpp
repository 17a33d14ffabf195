#include "TestSupport.h"

#include "core/DayLayout.h"
#include "core/PageText.h"
#include "core/Settings.h"
#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace {
// Runs in every test program before the tests: a fixed locale and a fixed
// today, whatever the machine says.
void fixEnvironment()
{
    // A run on PostgreSQL needs the test server that tools/test starts: in CI
    // its absence is a failure; on a developer's machine the run is skipped.
    if (TestSupport::onServer() && qEnvironmentVariableIsEmpty("LEDGERLY_TEST_PG")) {
        if (!qEnvironmentVariableIsEmpty("CI"))
            qFatal("LEDGERLY_TEST_PG is not set: the PostgreSQL tests need the server of tools/pg-test-server");
        fprintf(stderr, "LEDGERLY_TEST_PG is not set: skipping the PostgreSQL run (tools/test sets it)\n");
        std::exit(TestSupport::SkipExitCode);
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Clock::setFixedToday(TestSupport::Today);
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(fixEnvironment)

namespace TestSupport {

bool onServer()
{
    return qEnvironmentVariable("LEDGERLY_TEST_ENGINE") == QLatin1String("postgresql");
}

namespace {
QUrl serverUrl(const QString& databaseName)
{
    QUrl url(qEnvironmentVariable("LEDGERLY_TEST_PG"));
    url.setPath(QLatin1Char('/') + databaseName);
    return url;
}

// Runs sql on the server's maintenance database.
void adminSql(const QString& sql)
{
    const QString name = QStringLiteral("ledgerly-test-admin");
    {
        const QUrl url = serverUrl(QStringLiteral("postgres"));
        const QUrlQuery query(url);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(
            query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host")) : url.host());
        if (url.port() > 0)
            db.setPort(url.port());
        db.setUserName(url.userName());
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open())
            qFatal("cannot reach the test server: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
} // namespace

QString newServerDatabase()
{
    static int made = 0;
    const QString name = QStringLiteral("ledgerly_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
    adminSql(QStringLiteral("CREATE DATABASE %1").arg(name));
    return serverUrl(name).toString();
}

void dropServerDatabase(const QString& address)
{
    adminSql(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(QUrl(address).path().mid(1)));
}

bool holdWriteLock(QSqlDatabase db)
{
    QSqlQuery q(db);
    if (db.driverName() != QLatin1String("QPSQL"))
        return q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    return q.exec(QStringLiteral("BEGIN"))
        && q.exec(QStringLiteral("LOCK TABLE tbl_Appt, tbl_Setup, tbl_Order IN EXCLUSIVE MODE"));
}

DataFixture::DataFixture()
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    DataFolder::setPath(m_dir.path());
    if (onServer())
        m_serverAddress = newServerDatabase();
    m_db = std::make_unique<Database>();
    const Result r = m_db->open(databasePath());
    if (!r.ok())
        qFatal("cannot open test database: %s", qPrintable(r.message));
}

DataFixture::~DataFixture()
{
    m_db.reset();
    if (!m_serverAddress.isEmpty())
        dropServerDatabase(m_serverAddress);
}

QString DataFixture::databasePath() const
{
    if (!m_serverAddress.isEmpty())
        return m_serverAddress;
    return m_dir.path() + QStringLiteral("/db.mdb");
}

std::optional<DayRecord> storedDay(Database& db, const QDate& date)
{
    std::optional<DayRecord> rec;
    const Result read = DayStore(db).find(date, rec);
    if (!read.ok())
        qWarning("storedDay: %s", qPrintable(read.message));
    return rec;
}

QString storedCell(Database& db, int row, int col, const QDate& date)
{
    const std::optional<DayRecord> rec = storedDay(db, date);
    return rec ? cellOf(rec->pageText, row, col) : QStringLiteral("<no record>");
}

QString pageText(const char* readable)
{
    QString s = QString::fromUtf8(readable);
    s.replace(QLatin1Char('|'), PageText::CellSeparator);
    s.replace(QLatin1Char('#'), PageText::RowSeparator);
    return s;
}

QString cellOf(const QString& pageText, int row, int col)
{
    const PageText::Cells cells = PageText::split(pageText);
    if (row - 1 < cells.size() && col - 1 < cells[row - 1].size())
        return cells[row - 1][col - 1];
    return QString();
}

void bookCell(Database& db, const QDate& date, const Settings& copied, int row, int column, const QString& text,
    int rows, int columns)
{
    DayStore store(db);
    DayRecord rec;
    bool created = false;
    QVERIFY(store.open(date, copied, rec, created).ok());
    PageText::Cells cells = PageText::fit(rec.pageText, rows, columns);
    cells[row - 1][column - 1] = text;
    DayRecord edited = rec;
    edited.pageText = PageText::join(cells);
    QVERIFY(store.save(rec, edited).status.ok());
}

namespace {
QString rowKey(int row, int lastRow, const QStringList& times)
{
    if (row == 1)
        return QStringLiteral("first");
    if (row == lastRow)
        return QStringLiteral("last");
    return times.value(row - 2, QStringLiteral("beyond %1").arg(row));
}
} // namespace

// The bookings of a page text read in the layout its record's copies give.
Places placesOf(const DayRecord& record)
{
    const DayLayout layout = DayLayout::fromRecord(record);
    Places out;
    const PageText::Cells cells = PageText::split(record.pageText);
    for (int r = 0; r < cells.size(); ++r) {
        for (int c = 0; c < cells[r].size(); ++c) {
            if (!cells[r][c].isEmpty())
                out.insert({rowKey(r + 1, layout.lastRow, layout.timeTexts), c + 1}, cells[r][c]);
        }
    }
    return out;
}

void sqlOnFile(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        qFatal("%s: %s", qPrintable(sql), error);
    sqlite3_close(db);
}

Run runProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

QString pdfText(const QString& path, const QString& option)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {option, path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("pdftotext failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList pdfPages(const QString& path)
{
    QStringList pages = pdfText(path).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace TestSupport
