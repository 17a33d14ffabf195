#include "appointments/DayListPrint.h"
#include "appointments/DaySheet.h"
#include "platform/PdfPrintTarget.h"

#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
using TestSupport::pdfPages;

// How far each word of a PDF lies from the head (x) and the foot (y) of its
// page, in points, as pdftotext finds its box.
QList<QPointF> wordDistances(const QString& path)
{
    static const QRegularExpression page(QStringLiteral("<page .*height=\"([\\d.]+)\""));
    static const QRegularExpression word(QStringLiteral("<word .*yMin=\"([\\d.]+)\".*yMax=\"([\\d.]+)\""));
    QList<QPointF> out;
    double height = 0;
    for (const QString& line : TestSupport::pdfText(path, QStringLiteral("-bbox")).split(QLatin1Char('\n'))) {
        if (const QRegularExpressionMatch m = page.match(line); m.hasMatch())
            height = m.captured(1).toDouble();
        else if (const QRegularExpressionMatch w = word.match(line); w.hasMatch())
            out.append({w.captured(1).toDouble(), height - w.captured(2).toDouble()});
    }
    return out;
}

bool hasLine(const QString& page, const QString& pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(page).hasMatch();
}
} // namespace

class TestPdfPrintTarget : public QObject
{
    Q_OBJECT
private slots:
    void replacesAnOlderFileWhenComplete();
    void unfinishedPrintoutLeavesNoFile();
    void unusableTargetFailsWithTheReason();
    void longDayRunsOntoAnotherPage();

private:
    QTemporaryDir m_dir;
};

// What a day list looks like on paper is read back by the appointment
// window's printing test; here, what the file itself must do.
void TestPdfPrintTarget::replacesAnOlderFileWhenComplete()
{
    const QString path = m_dir.filePath(QStringLiteral("again.pdf"));
    TestSupport::writeFile(path, QByteArray("older printout"));
    {
        PdfPrintTarget t(path, QStringLiteral("again"));
        QVERIFY(t.ok());
        t.printLine({PrintTarget::text(QStringLiteral("NEW PRINTOUT"))});
        // Until the document is ended the older file stays as it was.
        QCOMPARE(TestSupport::fileBytes(path), QByteArray("older printout"));
        t.endDocument();
        QVERIFY(t.ok());
    }
    QVERIFY(TestSupport::fileBytes(path).startsWith("%PDF"));
    QVERIFY(pdfPages(path).value(0).contains(QStringLiteral("NEW PRINTOUT")));
}

void TestPdfPrintTarget::unfinishedPrintoutLeavesNoFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("half.pdf"));
    {
        PdfPrintTarget t(path, QStringLiteral("half"));
        t.printLine({PrintTarget::text(QStringLiteral("HALF"))});
        t.newPage();
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestPdfPrintTarget::unusableTargetFailsWithTheReason()
{
    // A folder stands where the file should go.
    const QString path = m_dir.filePath(QStringLiteral("taken.pdf"));
    QVERIFY(QDir().mkpath(path));
    PdfPrintTarget t(path, QStringLiteral("taken"));
    QVERIFY(!t.ok());
    QVERIFY2(t.errorString().contains(path), qPrintable(t.errorString()));
    // Every later operation does nothing, and the failure stays.
    t.printLine({PrintTarget::text(QStringLiteral("X"))});
    t.endDocument();
    QVERIFY(!t.ok());
    QVERIFY(QFileInfo(path).isDir());
}

void TestPdfPrintTarget::longDayRunsOntoAnotherPage()
{
    DaySheet s = DaySheet::forDay(TestSupport::Today);
    s.providerNames = {QStringLiteral("Dr Long")};
    for (int m = 6 * 60; m <= 20 * 60; m += 10)
        s.timeTexts.append(
            QStringLiteral("%1:%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0')));
    for (int r = 0; r < s.timeTexts.size() + 2; ++r)
        s.cells.append({QStringLiteral("ROW%1").arg(r + 1)});
    const QString path = m_dir.filePath(QStringLiteral("long.pdf"));
    {
        PdfPrintTarget t(path, QStringLiteral("long"));
        QVERIFY(DayListPrint::print(t, s));
    }
    const QStringList pages = pdfPages(path);
    QVERIFY2(pages.size() >= 2, qPrintable(pages.join(QStringLiteral("\n----\n"))));
    const QString all = pages.join(QString());
    // Nothing falls off the foot of a page.
    QVERIFY(hasLine(all, QStringLiteral("20:00\\s+ROW%1\\s*$").arg(s.timeTexts.size() + 1)));
    QVERIFY(hasLine(all, QStringLiteral("^\\s*ROW%1\\s*$").arg(s.timeTexts.size() + 2)));
    // Every line lies wholly inside the printable area, a quarter inch in
    // from the edges of the paper.
    const QList<QPointF> distances = wordDistances(path);
    QVERIFY(distances.size() > s.cells.size());
    for (const QPointF& d : distances)
        QVERIFY2(d.x() > 17.99 && d.y() > 17.99,
            qPrintable(QStringLiteral("a word %1 pt from the head, %2 pt from the foot").arg(d.x()).arg(d.y())));
}

QTEST_MAIN(TestPdfPrintTarget)
#include "tst_pdfprinttarget.moc"
