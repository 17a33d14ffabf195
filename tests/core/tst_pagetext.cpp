#include "core/PageText.h"

#include <QTest>

using namespace PageText;

namespace {
// Tests write "|" for a tab and "#" for a carriage return.
QString t(const char* readable)
{
    QString s = QString::fromUtf8(readable);
    s.replace(QLatin1Char('|'), CellSeparator);
    s.replace(QLatin1Char('#'), RowSeparator);
    return s;
}
} // namespace

class TestPageText : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void splitShape();
    void empty_data();
    void empty();
    void isBlank_data();
    void isBlank();
    void fit_data();
    void fit();
    void cleanCell_data();
    void cleanCell();
    void merge_data();
    void merge();
    void mergeMemo_data();
    void mergeMemo();
};

void TestPageText::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one row") << t("Smith||Jones");
    QTest::newRow("rows") << t("a|b#c|d#|");
    QTest::newRow("empty page 3x3") << t("||#||#||");
    QTest::newRow("trailing row separator") << t("x#");
    QTest::newRow("blanks kept") << t(" a | b /  ");
}

void TestPageText::roundTrip()
{
    QFETCH(QString, text);
    QCOMPARE(join(split(text)), text);
}

void TestPageText::splitShape()
{
    const Cells cells = split(t("a|b|c#d#|e"));
    QCOMPARE(cells.size(), 3);
    QCOMPARE(cells[0], (QStringList {"a", "b", "c"}));
    QCOMPARE(cells[1], (QStringList {"d"}));
    QCOMPARE(cells[2], (QStringList {"", "e"}));
}

void TestPageText::empty_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("text");
    QTest::newRow("2x3") << 2 << 3 << t("||#||");
    QTest::newRow("one provider") << 3 << 1 << t("##");
    QTest::newRow("no rows") << 0 << 4 << QString();
    QTest::newRow("no columns") << 3 << 0 << QString();
}

void TestPageText::empty()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, text);
    QCOMPARE(PageText::empty(rows, columns), text);
}

void TestPageText::isBlank_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blank");
    QTest::newRow("nothing") << QString() << true;
    QTest::newRow("separators only") << t("|||#|||") << true;
    QTest::newRow("one name") << t("||Smith#||") << false;
    QTest::newRow("a blank is text") << t("| |") << false;
}

void TestPageText::isBlank()
{
    QFETCH(QString, text);
    QFETCH(bool, blank);
    QCOMPARE(PageText::isBlank(text), blank);
}

void TestPageText::fit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("placed");
    QTest::newRow("same size") << t("a|b#c|d") << 2 << 2 << t("a|b#c|d");
    QTest::newRow("into a bigger page") << t("a|b#c|d") << 3 << 3 << t("a|b|#c|d|#||");
    QTest::newRow("into a smaller page") << t("a|b|c#d|e|f#g|h|i") << 2 << 2 << t("a|b#d|e");
    QTest::newRow("fewer tabs than columns") << t("a#b|c") << 2 << 3 << t("a||#b|c|");
    QTest::newRow("nothing stored") << QString() << 2 << 2 << t("|#|");
    // A day stored with 60-minute slots shown with 30-minute slots: the
    // second stored row lands on the second page row, whatever its time.
    QTest::newRow("60 into 30 minute slots") << t("|#9am|#10am|#|") << 6 << 2 << t("|#9am|#10am|#|#|#|");
}

void TestPageText::fit()
{
    QFETCH(QString, text);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, placed);
    const Cells cells = PageText::fit(text, rows, columns);
    QCOMPARE(cells.size(), rows);
    for (const QStringList& row : cells)
        QCOMPARE(row.size(), columns);
    QCOMPARE(join(cells), placed);
}

void TestPageText::cleanCell_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clean");
    QTest::newRow("plain") << QStringLiteral("Smith, J") << QStringLiteral("Smith, J");
    QTest::newRow("tab") << QStringLiteral("Smith\tJones") << QStringLiteral("Smith Jones");
    QTest::newRow("carriage return") << QStringLiteral("Smith\rJones") << QStringLiteral("Smith Jones");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a  b");
}

void TestPageText::cleanCell()
{
    QFETCH(QString, text);
    QFETCH(QString, clean);
    const QString cleaned = PageText::cleanCell(text);
    QCOMPARE(cleaned, clean);
    // A cleaned cell never changes the page's shape.
    QCOMPARE(split(cleaned).size(), 1);
    QCOMPARE(split(cleaned).first().size(), 1);
}

void TestPageText::merge_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("merged");
    QTest::addColumn<bool>("conflicted");
    QTest::newRow("nobody changed") << t("a|") << t("a|") << t("a|") << t("a|") << false;
    QTest::newRow("mine only") << t("|#|") << t("A|#|") << t("|#|") << t("A|#|") << false;
    QTest::newRow("theirs only") << t("|#|") << t("|#|") << t("|#|B") << t("|#|B") << false;
    QTest::newRow("different cells") << t("|#|") << t("A|#|") << t("|#|B") << t("A|#|B") << false;
    QTest::newRow("same change both sides") << t("|#|") << t("A|#|x") << t("A|#|") << t("A|#|x") << false;
    QTest::newRow("same cell, different text") << t("|#|") << t("A|#|") << t("B|#|") << t("A / B|#|") << true;
    QTest::newRow("changed differently and elsewhere")
        << t("a|#|") << t("A|x#|") << t("B|#|y") << t("A / B|x#|y") << true;
    QTest::newRow("mine cleared, theirs unchanged") << t("a|b") << t("|b") << t("a|c") << t("|c") << false;
    QTest::newRow("mine cleared, theirs changed") << t("a|") << t("|") << t("b|") << t("b|") << true;
    QTest::newRow("theirs cleared, mine changed") << t("a|") << t("m|x") << t("|") << t("m|x") << true;
    QTest::newRow("mine has more rows") << t("|") << t("A|#C|") << t("|B") << t("A|B#C|") << false;
    QTest::newRow("theirs has more columns") << t("a") << t("b") << t("a|c") << t("b|c") << false;
    QTest::newRow("no base") << QString() << t("A|") << t("|B") << t("A|B") << false;
}

void TestPageText::merge()
{
    QFETCH(QString, base);
    QFETCH(QString, mine);
    QFETCH(QString, theirs);
    QFETCH(QString, merged);
    QFETCH(bool, conflicted);
    bool wasConflicted = !conflicted;
    QCOMPARE(PageText::merge(base, mine, theirs, &wasConflicted), merged);
    QCOMPARE(wasConflicted, conflicted);
    QCOMPARE(PageText::merge(base, mine, theirs), merged);
}

void TestPageText::mergeMemo_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("merged");
    auto row = [](const char* name, const char* base, const char* mine, const char* theirs, const char* merged) {
        QTest::newRow(name) << QString::fromLatin1(base) << QString::fromLatin1(mine) << QString::fromLatin1(theirs)
                            << QString::fromLatin1(merged);
    };
    row("nobody changed", "memo", "memo", "memo", "memo");
    row("mine only", "memo", "mine", "memo", "mine");
    row("theirs only", "memo", "memo", "theirs", "theirs");
    row("same both sides", "memo", "new", "new", "new");
    row("both changed", "memo", "mine", "theirs", "mine\ntheirs");
    row("mine cleared, theirs changed", "memo", "", "theirs", "theirs");
    row("theirs cleared, mine changed", "memo", "mine", "", "mine");
    row("mine cleared only", "memo", "", "memo", "");
}

void TestPageText::mergeMemo()
{
    QFETCH(QString, base);
    QFETCH(QString, mine);
    QFETCH(QString, theirs);
    QFETCH(QString, merged);
    QCOMPARE(PageText::mergeMemo(base, mine, theirs), merged);
}

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
