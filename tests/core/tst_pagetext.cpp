#include "TestSupport.h"

#include "core/DayMerge.h"
#include "core/PageText.h"

#include <QTest>

using namespace PageText;
using DayMerge::Content;

namespace {
// Page texts as tests write them (see TestSupport::pageText).
constexpr auto t = &TestSupport::pageText;

Content content(const char* pageText, const char* memo, bool closed = false)
{
    return {t(pageText), QString::fromUtf8(memo), closed};
}

DayRecord day(const Content& c, qint64 id = 7)
{
    DayRecord r;
    r.id = id;
    r.version = 3;
    r.pageText = c.pageText;
    r.memo = c.memo;
    r.closed = c.closed;
    return r;
}
} // namespace

class TestPageText : public QObject
{
    Q_OBJECT

private slots:
    // A page is placed into a page of rows x columns by position.
    void fit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("placed");
        QTest::addColumn<bool>("blank");
        QTest::newRow("into a bigger page") << t("a|b#c|d") << 3 << 3 << t("a|b|#c|d|#||") << false;
        QTest::newRow("into a smaller page") << t("a|b|c#d|e|f#g|h|i") << 2 << 2 << t("a|b#d|e") << false;
        QTest::newRow("fewer tabs than columns") << t("a#b|c") << 2 << 3 << t("a||#b|c|") << false;
        QTest::newRow("a blank is text") << t("| |") << 1 << 3 << t("| |") << false;
        QTest::newRow("separators only") << t("|||#|||") << 2 << 4 << t("|||#|||") << true;
        QTest::newRow("nothing stored") << QString() << 2 << 3 << t("||#||") << true;
        QTest::newRow("one provider") << QString() << 3 << 1 << t("##") << true;
    }

    void fit()
    {
        QFETCH(QString, text);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QString, placed);
        QFETCH(bool, blank);
        QCOMPARE(join(PageText::fit(text, rows, columns)), placed);
        QCOMPARE(isBlank(text), blank);
        if (blank)
            QCOMPARE(PageText::empty(rows, columns), placed);
    }

    // A cell can never hold a separator: the page would change its shape.
    void cleanCell() { QCOMPARE(PageText::cleanCell(QStringLiteral("Lee\tKim\r\nBo")), QStringLiteral("Lee Kim  Bo")); }

    // Three-way merge by position: a cell changed on one side takes that side;
    // changed on both keeps both, and a booking is never cleared by the other.
    void merge_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("mine");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<QString>("merged");
        auto row = [](const char* name, const char* base, const char* mine, const char* theirs, const char* merged) {
            QTest::newRow(name) << t(base) << t(mine) << t(theirs) << t(merged);
        };
        row("mine only", "|#|", "A|#|", "|#|", "A|#|");
        row("theirs only", "|#|", "|#|", "|#|B", "|#|B");
        row("different cells", "|#|", "A|#|", "|#|B", "A|#|B");
        row("same change both sides", "|#|", "A|#|x", "A|#|", "A|#|x");
        row("changed differently and elsewhere", "a|#|", "A|x#|", "B|#|y", "A / B|x#|y");
        row("mine cleared, theirs unchanged", "a|b", "|b", "a|c", "|c");
        row("mine cleared, theirs changed", "a|", "|", "b|", "b|");
        row("theirs cleared, mine changed", "a|", "m|x", "|", "m|x");
        row("mine has more rows", "|", "A|#C|", "|B", "A|B#C|");
        row("theirs has more rows and columns", "a", "b", "a|c#d", "b|c#d");
    }

    void merge()
    {
        QFETCH(QString, base);
        QFETCH(QString, mine);
        QFETCH(QString, theirs);
        QFETCH(QString, merged);
        QCOMPARE(PageText::merge(base, mine, theirs), merged);
    }

    // A whole day: this desk read SMITH and the memo "lab", and booked JONES
    // since. The memo merges as a cell does, both texts on two lines.
    void mergeDay_data()
    {
        QTest::addColumn<Content>("mine");
        QTest::addColumn<std::optional<DayRecord>>("theirs");
        QTest::addColumn<Content>("merged");
        QTest::addColumn<bool>("unchanged");
        const Content mine = content("SMITH|JONES", "lab");
        auto row
            = [](const char* name, const Content& mine, const std::optional<DayRecord>& theirs, const Content& merged,
                  bool unchanged = false) { QTest::newRow(name) << mine << theirs << merged << unchanged; };
        row("nothing changed there", mine, day(content("SMITH|", "lab")), mine, true);
        row("memo changed there", mine, day(content("SMITH|", "off")), content("SMITH|JONES", "off"));
        row("memo changed on both", content("SMITH|JONES", "on"), day(content("SMITH|", "off")),
            content("SMITH|JONES", "on\noff"));
        row("memo cleared here, changed there", content("SMITH|JONES", ""), day(content("SMITH|", "off")),
            content("SMITH|JONES", "off"));
        row("memo changed here, cleared there", content("SMITH|JONES", "on"), day(content("SMITH|", "")),
            content("SMITH|JONES", "on"));
        row("closed there", mine, day(content("SMITH|", "lab", true)), content("SMITH|JONES", "lab", true));
        row("closed here", content("SMITH|JONES", "lab", true), day(content("SMITH|", "off")),
            content("SMITH|JONES", "off", true));
        row("deleted there", mine, std::nullopt, content("|JONES", ""));
        row("made again, same content", mine, day(content("SMITH|", "lab"), 8), mine);
        row("made again under the same id and version", mine, day(content("LEE|", "")), content("LEE|JONES", ""));
    }

    void mergeDay()
    {
        QFETCH(Content, mine);
        QFETCH(std::optional<DayRecord>, theirs);
        QFETCH(Content, merged);
        QFETCH(bool, unchanged);
        const DayRecord base = day(content("SMITH|", "lab"));
        QCOMPARE(DayMerge::unchangedSince(base, theirs), unchanged);
        const Content result = DayMerge::merge(base, mine, theirs);
        QCOMPARE(result.pageText, merged.pageText);
        QCOMPARE(result.memo, merged.memo);
        QCOMPARE(result.closed, merged.closed);
    }

    // An undo of this desk's change (SMITH to JONES, KIM booked, the memo
    // "ring" written, the day closed) on a day that shows now: what another
    // desk changed since is never overwritten.
    void takeBackMergesWithLaterChanges_data()
    {
        QTest::addColumn<Content>("now");
        QTest::addColumn<Content>("undone");
        QTest::newRow("nobody changed it since") << content("JONES|KIM|", "ring", true) << content("SMITH||", "");
        QTest::newRow("changed elsewhere since")
            << content("LEE|TAN|NEW", "call") << content("SMITH / LEE|TAN|NEW", "call");
    }

    void takeBackMergesWithLaterChanges()
    {
        QFETCH(Content, now);
        QFETCH(Content, undone);
        QCOMPARE(DayMerge::takeBack(content("SMITH||", ""), content("JONES|KIM|", "ring", true), now), undone);
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
