// A day's lists, one page per provider, as DayListPrint lays them out on a
// recording print target; and the print-day command that prints them with
// no window.

#include "RecordingPrintTarget.h"
#include "TestSupport.h"

#include "appointments/DayListPrint.h"
#include "appointments/DaySheet.h"
#include "appointments/PrintDayCommand.h"
#include "platform/PrintJob.h"
#include "store/Database.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

namespace {
// A page of n providers and three time rows; every provider has one booking
// at 08:00 AM, one at 09:00 AM and nothing at 08:30 AM.
DaySheet sheetOf(int providers)
{
    DaySheet s = DaySheet::forDay(TestSupport::Today);
    s.timeTexts = {QStringLiteral("08:00 AM"), QStringLiteral("08:30 AM"), QStringLiteral("09:00 AM")};
    const QStringList rowTexts = {QStringLiteral("NOTE 1 %1"), QStringLiteral("EARLY %1"), QString(),
        QStringLiteral("CLIENT %1"), QStringLiteral("NOTE 5 %1")};
    for (const QString& text : rowTexts) {
        QStringList row;
        for (int c = 1; c <= providers; ++c)
            row.append(text.isEmpty() ? QString() : text.arg(c));
        s.cells.append(row);
    }
    for (int c = 1; c <= providers; ++c)
        s.providerNames.append(QStringLiteral("Provider %1").arg(c));
    return s;
}

} // namespace

class TestDayListPrint : public QObject
{
    Q_OBJECT

private slots:
    void onePagePerProvider_data()
    {
        QTest::addColumn<int>("providers");
        QTest::newRow("one") << 1;
        QTest::newRow("eight") << 8;
    }

    void onePagePerProvider()
    {
        QFETCH(int, providers);
        RecordingPrintTarget t;
        QVERIFY(DayListPrint::print(t, sheetOf(providers)));
        QVERIFY(t.ended());
        QCOMPARE(t.pageCount(), providers);
        for (int page = 1; page <= providers; ++page) {
            const QStringList lines = t.pageLines(page);
            QCOMPARE(lines.size(), 8 + 2 + 1 + 2 + 2 * 3 + 2);
            QCOMPARE(lines.mid(0, 8), QStringList(8, QString()));
            QCOMPARE(lines[8], QString(9, ' ') + QStringLiteral("Appointment Schedule:   Wednesday,  5/15/24"));
            QCOMPARE(lines[12], QString(30, ' ') + QStringLiteral("NOTE 1 %1").arg(page));
            QCOMPARE(lines[14], QString(14, ' ') + QStringLiteral("08:00 AM       EARLY %1").arg(page));
            QCOMPARE(lines[16], QString(14, ' ') + QStringLiteral("08:30 AM       ")); // an empty slot keeps its line
            QCOMPARE(lines[18], QString(14, ' ') + QStringLiteral("09:00 AM       CLIENT %1").arg(page));
            QCOMPARE(lines[20], QString(30, ' ') + QStringLiteral("NOTE 5 %1").arg(page));
        }
    }

    // A list longer than a page goes on over pages, each with the heading and
    // its number; an entry wider than its column wraps within it word by word,
    // and a word wider than the column breaks where it must.
    void longListsAndEntries_data()
    {
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("joint"); // between the lines of an entry
        QTest::addColumn<int>("pages");
        const QString words
            = QStringList(4, QStringLiteral("MRS HONORIA ABERCROMBIE-FOTHERINGHAY, NEW PATIENT,")).join(' ');
        QTest::newRow("ten-minute day") << 60 << QStringLiteral("SMITH") << " " << 3;
        QTest::newRow("long entries") << 30 << words << " " << 3;
        QTest::newRow("one long word") << 3 << QString(250, 'W') << "" << 1;
    }

    void longListsAndEntries()
    {
        QFETCH(int, slotCount);
        QFETCH(QString, entry);
        QFETCH(QString, joint);
        QFETCH(int, pages);
        DaySheet s = DaySheet::forDay(TestSupport::Today);
        s.providerNames = {QStringLiteral("Provider 1"), QStringLiteral("Provider 2")};
        QStringList expected {entry};
        for (int r = 0; r < slotCount; ++r) {
            s.timeTexts.append(QTime(8, 0).addSecs(600 * r).toString(QStringLiteral("hh:mm AP")));
            expected.append(s.timeTexts.last() + QStringLiteral("       ") + entry);
        }
        expected.append(entry);
        s.cells = QList<QStringList>(slotCount + 2, {entry, entry});
        RecordingPrintTarget t;
        QVERIFY(DayListPrint::print(t, s));
        QCOMPARE(t.pageCount(), 2 * pages);
        // The right margin is as wide as the indent of the times.
        const int right = t.pageSize().width() - t.textWidth(QString(14, ' '), 9, true);
        QStringList printed;
        for (int page = 1; page <= 2 * pages; ++page) {
            const QStringList lines = t.pageLines(page);
            const QString number = QStringLiteral(" Page %1 of %2").arg((page - 1) % pages + 1).arg(pages);
            QCOMPARE(lines[8].simplified(),
                QStringLiteral("Appointment Schedule: Wednesday, 5/15/24") + (pages > 1 ? number : QString()));
            QCOMPARE(lines[10], QStringLiteral("          Time     Provider %1").arg((page - 1) / pages + 1));
            for (const QPoint end : t.lineEnds(page))
                QVERIFY(end.x() <= right && end.y() <= t.pageSize().height());
            for (const QString& line : lines.mid(11)) {
                // After a time, or in the entry column.
                const qsizetype indent = line.indexOf(QRegularExpression(QStringLiteral("\\S")));
                QVERIFY2(indent < 0 || indent == 14 || indent >= 29, qPrintable(line));
                if (indent >= 0)
                    printed.append(line.trimmed());
            }
            if (page % pages == 0) {
                QCOMPARE(printed.join(joint), expected.join(joint));
                printed.clear();
            }
        }
    }

    void failureStopsAtOnce_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<int>("pages");
        QTest::newRow("in the lists") << 20 << 1;
        // Three pages of 29 calls and two page breaks: call 89 ends the document.
        QTest::newRow("handing over") << 89 << 3;
    }

    void failureStopsAtOnce()
    {
        QFETCH(int, failAt);
        QFETCH(int, pages);
        RecordingPrintTarget t;
        t.failAtCall(failAt, QStringLiteral("Out of paper"));
        QVERIFY(!DayListPrint::print(t, sheetOf(3)));
        QCOMPARE(t.errorString(), QStringLiteral("Out of paper"));
        QCOMPARE(t.callCount(), failAt);
        QVERIFY(!t.ended());
        QCOMPARE(t.pageCount(), pages);
    }

    void commandWithPdfNeverPrints()
    {
        TestSupport::DataFixture data;
        // This machine has a printer; --pdf writes the file all the same.
        int sent = 0;
        PrintJob::setPrinter([&](const QString&) {
            ++sent;
            return std::make_unique<RecordingPrintTarget>();
        });
        const QString pdf = QDir(data.folder()).filePath(QStringLiteral("asked-for.pdf"));
        const int exitCode = PrintDayCommand::run({QStringLiteral("2024-05-15")}, pdf);
        PrintJob::setPrinter({});
        QCOMPARE(exitCode, 0);
        QCOMPARE(sent, 0);
        QCOMPARE(TestSupport::pdfPages(pdf).size(), 4);
    }

    void commandRefusesAndWritesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such day") << QStringList {QStringLiteral("2024-02-30")} << "not a date: 2024-02-30";
        QTest::newRow("two dates") << QStringList {QStringLiteral("2024-05-15"), QStringLiteral("2024-05-16")}
                                   << "too many arguments";
        QTest::newRow("no database") << QStringList() << "db.mdb";
    }

    void commandRefusesAndWritesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir empty;
        const TestSupport::Run run = TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE),
            QStringList {QStringLiteral("--data-dir"), empty.path(), QStringLiteral("print-day")} + arguments
                + QStringList {QStringLiteral("--pdf"), empty.filePath(QStringLiteral("never.pdf"))});
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(QDir(empty.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestDayListPrint)
#include "tst_daylistprint.moc"
