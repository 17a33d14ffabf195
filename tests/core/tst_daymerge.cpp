#include "core/DayMerge.h"
#include "core/PageText.h"

#include <QTest>

using DayMerge::Content;

namespace {
// A page of one row: two cells.
QString row(const QString& first, const QString& second)
{
    return first + PageText::CellSeparator + second;
}

DayRecord day(const QString& pageText, const QString& memo, bool closed, qint64 id = 7)
{
    DayRecord r;
    r.id = id;
    r.version = 3;
    r.pageText = pageText;
    r.memo = memo;
    r.closed = closed;
    return r;
}

// This desk read SMITH and a memo, and booked JONES since.
const DayRecord Base = day(row(QStringLiteral("SMITH"), QString()), QStringLiteral("lab"), false);
const QString Booked = row(QStringLiteral("SMITH"), QStringLiteral("JONES"));
} // namespace

class TestDayMerge : public QObject
{
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
};

void TestDayMerge::merge_data()
{
    QTest::addColumn<Content>("mine");
    QTest::addColumn<std::optional<DayRecord>>("theirs");
    QTest::addColumn<Content>("merged");
    QTest::addColumn<bool>("unchanged");

    const QString lab = QStringLiteral("lab");
    const QString holiday = QStringLiteral("holiday");
    const Content mine {Booked, lab, false};
    QTest::newRow("nothing changed there") << mine << std::optional(Base) << mine << true;
    QTest::newRow("only the memo changed there")
        << mine << std::optional(day(Base.pageText, holiday, false)) << Content {Booked, holiday, false} << false;
    QTest::newRow("only closed changed there")
        << mine << std::optional(day(Base.pageText, lab, true)) << Content {Booked, lab, true} << false;
    QTest::newRow("only closed changed here")
        << Content {Booked, lab, true} << std::optional(day(Base.pageText, holiday, false))
        << Content {Booked, holiday, true} << false;
    QTest::newRow("both memos changed") << Content {Booked, QStringLiteral("ring back"), false}
                                        << std::optional(day(Base.pageText, holiday, false))
                                        << Content {Booked, QStringLiteral("ring back\nholiday"), false} << false;
    QTest::newRow("deleted there") << mine << std::optional<DayRecord>()
                                   << Content {row(QString(), QStringLiteral("JONES")), QString(), false} << false;
    QTest::newRow("made again, same content")
        << mine << std::optional(day(Base.pageText, lab, false, 8)) << mine << false;
    QTest::newRow("made again under the same id and version")
        << mine << std::optional(day(row(QStringLiteral("LEE"), QString()), QString(), false))
        << Content {row(QStringLiteral("LEE"), QStringLiteral("JONES")), QString(), false} << false;
}

void TestDayMerge::merge()
{
    QFETCH(Content, mine);
    QFETCH(std::optional<DayRecord>, theirs);
    QFETCH(Content, merged);
    QFETCH(bool, unchanged);

    QCOMPARE(DayMerge::unchangedSince(Base, theirs), unchanged);
    const Content result = DayMerge::merge(Base, mine, theirs);
    QCOMPARE(result.pageText, merged.pageText);
    QCOMPARE(result.memo, merged.memo);
    QCOMPARE(result.closed, merged.closed);
}

QTEST_GUILESS_MAIN(TestDayMerge)
#include "tst_daymerge.moc"
