#pragma once

#include "core/DayRecord.h"
#include "core/Settings.h"

#include <QDate>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

class Database;
class QSqlDatabase;

namespace TestSupport {
// True when this run of a store test runs on PostgreSQL (LEDGERLY_TEST_ENGINE
// is "postgresql"; CTest registers those tests once per engine).
bool onServer();
// The exit code of a run CTest counts as skipped.
constexpr int SkipExitCode = 77;
// A new, empty database on the test server (LEDGERLY_TEST_PG), as an address
// Database::open() takes; dropServerDatabase() removes it again.
QString newServerDatabase();
void dropServerDatabase(const QString& address);
// Starts a transaction on db that keeps every other connection from writing,
// as another copy in the middle of a save does.
bool holdWriteLock(QSqlDatabase db);

// The fixed "today" of every test: a Wednesday.
inline const QDate Today(2024, 5, 15);

// A fresh data folder with a new db.mdb, opened as the program-wide
// connection. Everything is removed again when it goes out of scope.
class DataFixture
{
public:
    DataFixture();
    ~DataFixture();
    QString folder() const { return m_dir.path(); }
    // The file, or the server database's address when onServer().
    QString databasePath() const;
    Database& db() { return *m_db; }

private:
    QTemporaryDir m_dir;
    QString m_serverAddress;
    std::unique_ptr<Database> m_db;
};

// The day record of date as the database holds it now.
std::optional<DayRecord> storedDay(Database& db, const QDate& date = Today);
// A page text as tests write it: "|" for a tab, "#" for a carriage return.
QString pageText(const char* readable);
// Cell (row, col) of date's stored page, or "<no record>".
QString storedCell(Database& db, int row, int col, const QDate& date = Today);
// Cell (row, col) of a page text, grid indices (the page starts at 1, 1).
QString cellOf(const QString& pageText, int row, int col);

// Stores text in cell (row, column) of date's page, the record created with
// copies of `copied` when missing; the page is taken as rows x columns.
void bookCell(Database& db, const QDate& date, const Settings& copied, int row, int column, const QString& text,
    int rows = 20, int columns = 4);

// Where a booking is: its slot time (or the blank "first" / "last" row) and
// its provider column; what a change of layout must never alter.
using Places = QMap<QPair<QString, int>, QString>;
// The bookings of a record's page text, read in the layout of its copies.
Places placesOf(const DayRecord& record);

// Runs sql on the SQLite file at path through a connection of its own, as
// another program would; the test ends when it fails.
void sqlOnFile(const QString& path, const QString& sql);

// A program run to its end in its own process.
struct Run
{
    int exitCode = -1; // -1 when it crashed or did not finish
    QString out;
    QString err;
};
Run runProgram(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The text of a PDF file as pdftotext gives it (with -layout unless another
// option is named), or why pdftotext failed; pdfPages splits it by page.
QString pdfText(const QString& path, const QString& option = QStringLiteral("-layout"));
QStringList pdfPages(const QString& path);

QByteArray fileBytes(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
} // namespace TestSupport
