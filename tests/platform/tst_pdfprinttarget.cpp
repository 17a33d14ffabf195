#include "platform/PdfPrintTarget.h"

#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestPdfPrintTarget : public QObject
{
    Q_OBJECT

private slots:
    // A page breaks before a line that would not fit on it, never after: every
    // line is printed, each wholly inside the printable area, a quarter inch
    // (18 pt) in from the edges of the paper.
    void longPrintoutBreaksIntoPagesInsideTheMargins()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.pdf"));
        const int lines = 150;
        {
            PdfPrintTarget t(path, QStringLiteral("long"));
            for (int i = 1; i <= lines; ++i)
                t.printLine({PrintTarget::text(QStringLiteral("LINE%1").arg(i))});
            t.endDocument();
            QVERIFY(t.ok());
        }
        const QString text = TestSupport::pdfText(path);
        QVERIFY2(text.count(QLatin1Char('\f')) >= 2, qPrintable(text));
        for (int i = 1; i <= lines; ++i) {
            const QRegularExpression line(
                QStringLiteral("^\\s*LINE%1\\s*$").arg(i), QRegularExpression::MultilineOption);
            QVERIFY2(line.match(text).hasMatch(), qPrintable(QStringLiteral("LINE%1 in:\n%2").arg(i).arg(text)));
        }

        static const QRegularExpression page(QStringLiteral("<page .*height=\"([\\d.]+)\""));
        static const QRegularExpression word(QStringLiteral("<word .*yMin=\"([\\d.]+)\".*yMax=\"([\\d.]+)\""));
        double height = 0;
        int words = 0;
        for (const QString& line : TestSupport::pdfText(path, QStringLiteral("-bbox")).split(QLatin1Char('\n'))) {
            if (const QRegularExpressionMatch m = page.match(line); m.hasMatch()) {
                height = m.captured(1).toDouble();
            } else if (const QRegularExpressionMatch w = word.match(line); w.hasMatch()) {
                ++words;
                const double head = w.captured(1).toDouble();
                const double foot = height - w.captured(2).toDouble();
                QVERIFY2(head > 17.99 && foot > 17.99,
                    qPrintable(QStringLiteral("a word %1 pt from the head, %2 pt from the foot").arg(head).arg(foot)));
            }
        }
        QCOMPARE(words, lines);
    }

    void unfinishedPrintoutLeavesNoFile()
    {
        QTemporaryDir dir;
        {
            PdfPrintTarget t(dir.filePath(QStringLiteral("half.pdf")), QStringLiteral("half"));
            t.printLine({PrintTarget::text(QStringLiteral("HALF"))});
            t.newPage();
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestPdfPrintTarget)
#include "tst_pdfprinttarget.moc"
