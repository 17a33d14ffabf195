#pragma once

// What the tests of several desks share: another desk in a process of its
// own, and another desk's save through a connection of this process.

#include "TestSupport.h"

#include "core/PageText.h"
#include "maintenance/BackupRestore.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

// A process of the program's store or window (desk_window), spoken to line
// by line.
class DeskProcess
{
public:
    DeskProcess(const QString& program, const QStringList& args)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, args);
    }
    ~DeskProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    void send(const QByteArray& line) { m_process.write(line + '\n'); }

    // The next line it prints, waiting with the event loop running so that
    // this process's own windows keep working meanwhile.
    QString next()
    {
        const bool ready = QTest::qWaitFor(
            [this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; }, 30'000);
        return ready ? QString::fromUtf8(m_process.readLine()).trimmed() : QString();
    }

    QString ask(const QByteArray& line)
    {
        send(line);
        return next();
    }

    // Sends line and waits for the process to end; true when it ended well.
    bool end(const QByteArray& line = "quit")
    {
        send(line);
        return m_process.waitForFinished(30'000) && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
};

using TestSupport::storedCell;

// Changes today's record as another desk's save does.
inline bool changeToday(Database& db, const std::function<void(DayRecord&)>& change)
{
    const std::optional<DayRecord> base = TestSupport::storedDay(db);
    DayRecord edited = base.value_or(DayRecord());
    change(edited);
    return base && DayStore(db).save(*base, edited, DayStore::SaveMode::KeepEmpty).status.ok();
}

// A back-up of today is restored over the database while a desk shows the
// day: the desk goes on in the restored day, with no question asked, and
// keeps only what is being typed at that moment (over the restored text of
// its cell, not merged with it as another desk's save would be).
inline void restoreWhileADeskTypes(TestSupport::DataFixture& data)
{
    Database& db = data.db();
    Settings settings;
    QVERIFY(SettingsStore(db).read(settings).ok());
    TestSupport::bookCell(db, TestSupport::Today, settings, 2, 1, QStringLiteral("SMITH"));
    TestSupport::bookCell(db, TestSupport::Today, settings, 3, 2, QStringLiteral("OLD"));
    QTemporaryDir medium;
    const QString file = BackupRestore::pathIn(medium.path());
    QCOMPARE((db.isServer() ? BackupRestore::backupServer(db, file) : BackupRestore::backup(data.databasePath(), file))
                 .message,
        QString());
    QVERIFY(changeToday(db, [](DayRecord& r) {
        PageText::Cells cells = PageText::split(r.pageText);
        cells[1][0] = QStringLiteral("JONES");
        cells[2][1].clear();
        r.pageText = PageText::join(cells);
    }));

    DeskProcess desk(QStringLiteral(DESK_WINDOW), {data.folder(), data.databasePath()});
    QCOMPARE(desk.next(), QStringLiteral("ready"));
    QCOMPARE(desk.ask("edit 3 2 KI"), QStringLiteral("editing"));
    QCOMPARE((db.isServer() ? BackupRestore::restoreServer(file, db, data.folder())
                            : BackupRestore::restore(file, data.databasePath(), &db).result)
                 .message,
        QString());
    QTRY_COMPARE_WITH_TIMEOUT(desk.ask("cell 2 1"), QStringLiteral("cell SMITH"), 10'000);
    QCOMPARE(desk.ask("enter"), QStringLiteral("entered"));
    QCOMPARE(desk.ask("dialogs"), QStringLiteral("dialogs 0"));
    QVERIFY(desk.end());
    QCOMPARE(storedCell(db, 2, 1), QStringLiteral("SMITH"));
    QCOMPARE(storedCell(db, 3, 2), QStringLiteral("KI"));
}
