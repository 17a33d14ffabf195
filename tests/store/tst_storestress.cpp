// Several real processes of the store on one file: contention, the same cell
// written by two desks at once, and writers killed at random moments.
//
// The suite runs short versions. For the full figures:
//   LEDGERLY_STRESS_SECONDS=30 LEDGERLY_CRASH_RUNS=200 tst_storestress

#include "TestSupport.h"

#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QThread>

using TestSupport::DataFixture;

namespace {

// The days and the page the stress tool writes into.
const QDate FirstDay(2024, 6, 3);
constexpr int Days = 5;

int setting(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

QString stressTool()
{
    return QStringLiteral(STORE_STRESS);
}

// Every token found in the five days of the file.
QSet<QString> storedTokens(Database& db)
{
    static const QRegularExpression token(QStringLiteral("\\[[0-9]+:[0-9]+\\]"));
    QSet<QString> out;
    for (int d = 0; d < Days; ++d) {
        std::optional<DayRecord> rec;
        if (!DayStore(db).find(FirstDay.addDays(d), rec).ok())
            qFatal("cannot read the days back");
        if (!rec)
            continue;
        for (const QRegularExpressionMatch& m : token.globalMatch(rec->pageText))
            out.insert(m.captured());
    }
    return out;
}

struct Log
{
    QStringList saved;
    QStringList busy;
    QStringList failed;
};

Log readLog(const QString& path)
{
    Log log;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return log;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString rest = line.section(QLatin1Char(' '), 1);
        if (line.startsWith(QLatin1String("saved ")))
            log.saved.append(rest);
        else if (line.startsWith(QLatin1String("busy ")))
            log.busy.append(rest);
        else
            log.failed.append(line);
    }
    return log;
}

// "saves=S seconds=T retries=R ..." as numbers by name.
QHash<QString, double> figures(const QByteArray& output)
{
    QHash<QString, double> out;
    const QString line = QString::fromUtf8(output).trimmed().section(QLatin1Char('\n'), -1);
    for (const QString& field : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.insert(field.section(QLatin1Char('='), 0, 0), field.section(QLatin1Char('='), 1).toDouble());
    return out;
}

} // namespace

class TestStoreStress : public QObject
{
    Q_OBJECT

private slots:
    void contention_data();
    void contention();
    void sameCellKeepsBothNames();
    void killedWriterLosesNoCommittedSave();
};

void TestStoreStress::contention_data()
{
    QTest::addColumn<int>("processes");
    QTest::newRow("four processes") << 4;
}

void TestStoreStress::contention()
{
    QFETCH(int, processes);
    const int seconds = setting("LEDGERLY_STRESS_SECONDS", 3);

    DataFixture f;
    const QString logBase = f.folder() + QStringLiteral("/db.mdb");
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(stressTool(),
        {QStringLiteral("run"), f.databasePath(), QString::number(processes), QString::number(seconds), logBase});
    QVERIFY2(tool.waitForStarted(), qPrintable(tool.errorString()));
    QVERIFY(tool.waitForFinished(seconds * 1000 + 120'000));
    const QByteArray output = tool.readAllStandardOutput();
    QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0, output.constData());
    const QHash<QString, double> fig = figures(output);
    QCOMPARE(fig.value(QStringLiteral("processes")), double(processes));
    QCOMPARE(fig.value(QStringLiteral("lost")), 0.0);

    // Checked here too, from the writers' own logs and the file.
    const QSet<QString> stored = storedTokens(f.db());
    int logged = 0;
    for (int i = 1; i <= processes; ++i) {
        const Log log = readLog(logBase + QStringLiteral("-writer-%1.log").arg(i));
        QVERIFY2(log.failed.isEmpty(), qPrintable(log.failed.join(QLatin1Char('\n'))));
        QVERIFY2(!log.saved.isEmpty(), "a writer saved nothing");
        for (const QString& token : log.saved)
            QVERIFY2(stored.contains(token), qPrintable(QStringLiteral("lost %1").arg(token)));
        logged += int(log.saved.size());
    }
    // Only saved tokens are in the file: nothing was written twice or half.
    QCOMPARE(stored.size(), logged);
    QCOMPARE(fig.value(QStringLiteral("saves")), double(logged));

    qInfo("contention: %d process(es) x %d s: %d saves, %.1f saves/s, %.0f retries, %.0f merges, %.0f busy "
          "after the retry bound, longest save %.0f ms",
        processes, seconds, logged, fig.value(QStringLiteral("saves_per_second")), fig.value(QStringLiteral("retries")),
        fig.value(QStringLiteral("merges")), fig.value(QStringLiteral("busy")),
        fig.value(QStringLiteral("slowest_ms")));
}

void TestStoreStress::sameCellKeepsBothNames()
{
    DataFixture f;
    QProcess a;
    QProcess b;
    a.start(stressTool(), {QStringLiteral("same-cell"), f.databasePath(), QStringLiteral("SMITH")});
    b.start(stressTool(), {QStringLiteral("same-cell"), f.databasePath(), QStringLiteral("JONES")});
    // Both have read the day before either writes.
    for (QProcess* p : {&a, &b}) {
        QVERIFY(p->waitForReadyRead(30'000));
        QCOMPARE(p->readLine().trimmed(), QByteArray("ready"));
    }
    a.write("go\n");
    b.write("go\n");
    for (QProcess* p : {&a, &b}) {
        QVERIFY(p->waitForFinished(30'000));
        QCOMPARE(p->exitCode(), 0);
    }

    std::optional<DayRecord> rec;
    QVERIFY(DayStore(f.db()).find(FirstDay, rec).ok());
    QVERIFY(rec);
    const QString cell = PageText::split(rec->pageText).first().first();
    QVERIFY2(cell == QLatin1String("SMITH / JONES") || cell == QLatin1String("JONES / SMITH"), qPrintable(cell));
}

void TestStoreStress::killedWriterLosesNoCommittedSave()
{
    const int runs = setting("LEDGERLY_CRASH_RUNS", 60);
    DataFixture f;
    const QString path = f.databasePath();
    const QString logPath = f.folder() + QStringLiteral("/crash.log");
    f.db().close();

    int killedMidCommit = 0;
    int withSaves = 0;
    int previous = 0;
    for (int run = 1; run <= runs; ++run) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(
            stressTool(), {QStringLiteral("contend"), path, QStringLiteral("0"), QString::number(run), logPath});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        // Anywhere from the opening of the file to well into the saves.
        QThread::msleep(QRandomGenerator::global()->bounded(20, 300));
        child.kill();
        QVERIFY(child.waitForFinished(30'000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        if (QFileInfo::exists(path + QStringLiteral("-journal")))
            ++killedMidCommit;

        // The program opens the file as after any crash, and it is sound.
        Database db(QStringLiteral("after-kill"));
        const Result opened = db.open(path, false);
        QVERIFY2(opened.ok(), qPrintable(QStringLiteral("run %1: %2").arg(run).arg(opened.message)));
        // A file is checked byte by byte too; a server looks after its own.
        if (!TestSupport::onServer()) {
            const QString damage = Database::checkFile(path, true).message;
            QVERIFY2(damage.isEmpty(), qPrintable(QStringLiteral("run %1: %2").arg(run).arg(damage)));
        }

        const Log log = readLog(logPath);
        QVERIFY2(log.failed.isEmpty(), qPrintable(log.failed.join(QLatin1Char('\n'))));
        const QSet<QString> stored = storedTokens(db);
        for (const QString& token : log.saved)
            QVERIFY2(stored.contains(token), qPrintable(QStringLiteral("run %1 lost %2").arg(run).arg(token)));
        if (log.saved.size() > previous)
            ++withSaves;
        previous = int(log.saved.size());
    }
    qInfo("crash: %d runs killed with SIGKILL, all survived; %d had saved something, %d left a journal behind, "
          "%d saves committed in all",
        runs, withSaves, killedMidCommit, previous);
    // The kills landed among the saves, not only before them.
    QVERIFY(withSaves > runs / 2);
}

QTEST_GUILESS_MAIN(TestStoreStress)
#include "tst_storestress.moc"
