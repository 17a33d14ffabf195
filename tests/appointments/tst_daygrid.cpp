#include "TestSupport.h"

#include "appointments/DayGrid.h"
#include "core/PageText.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTest>

namespace {
const QString LongName = QStringLiteral("FITZGERALD, MARGARET 5550123");

// A grid laid out as the appointment window lays it out: a time column and
// narrow provider columns, so that long names are elided.
void layOut(DayGrid& grid, int rows, int columns)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    font.setBold(true);
    grid.setFont(font);
    grid.resize(520, 300);
    grid.setColumnCountGrid(columns);
    grid.setRowCountGrid(rows);
    grid.setColumnWidthTwips(0, 1100);
    for (int c = 1; c < columns; ++c) {
        grid.setColumnWidthTwips(c, 1000);
        grid.setCellText(0, c, QStringLiteral("Provider %1").arg(c));
    }
    for (int r = 1; r < rows; ++r)
        grid.setCellText(r, 0, QStringLiteral("%1:00 AM").arg(r, 2, 10, QLatin1Char('0')));
    grid.setSelectionRange(1, 1, rows - 1, columns - 1);
}

QString page(int rows, int columns, const QString& cell)
{
    PageText::Cells cells;
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 0; c < columns; ++c)
            row.append((r + c) % 3 == 0 ? QString() : cell + QString::number(r * columns + c));
        cells.append(row);
    }
    return PageText::join(cells);
}

// What the window shows on the screen: the grid's backing store, which only
// changes when the grid has asked to be repainted.
QImage onScreen(QWidget& w)
{
    return QGuiApplication::primaryScreen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage rendered(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
} // namespace

class TestDayGrid : public QObject
{
    Q_OBJECT

private slots:
    void paintsCellsAsTheStockDelegate_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("withCurrentCell");
        QTest::newRow("elided names") << LongName << QColor(Qt::white) << false;
        QTest::newRow("closed day") << LongName << QColor(0, 128, 128) << false;
        QTest::newRow("current cell") << LongName << QColor(Qt::white) << true;
    }

    // The grid paints its cells itself for speed; what shows must be what
    // the stock item delegate shows, elision included.
    void paintsCellsAsTheStockDelegate()
    {
        QFETCH(QString, cell);
        QFETCH(QColor, background);
        QFETCH(bool, withCurrentCell);
        DayGrid grid;
        layOut(grid, 12, 6);
        grid.setCellBackground(background);
        grid.putSelectionText(page(11, 5, cell));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        if (withCurrentCell) {
            grid.setFocus();
            grid.setCurrentCell(3, 2);
        }
        const QImage own = rendered(grid);
        grid.setItemDelegate(new QStyledItemDelegate(&grid));
        const QImage stock = rendered(grid);
        QCOMPARE(own, stock);
    }

    // A page put into the grid in one go must still reach the screen.
    void showsAPutPageOnScreen()
    {
        DayGrid grid;
        layOut(grid, 12, 6);
        grid.putSelectionText(page(11, 5, QStringLiteral("JONES ")));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QTRY_COMPARE(onScreen(grid), rendered(grid));
        const QImage before = onScreen(grid);

        grid.putSelectionText(page(11, 5, LongName));
        QTRY_COMPARE(onScreen(grid), rendered(grid));
        QVERIFY(onScreen(grid) != before);

        // Clearing, as leaving a day does.
        grid.putSelectionText(PageText::empty(11, 5));
        QCOMPARE(grid.cellText(2, 1), QString());
        QTRY_COMPARE(onScreen(grid), rendered(grid));
    }

    void rebuildShowsChangedHeadersOnScreen_data()
    {
        QTest::addColumn<bool>("change");
        QTest::newRow("same layout again") << false;
        QTest::newRow("new names and times") << true;
    }

    // Rebuilding suspends redrawing; whatever the rebuild changed shows once
    // it resumes, and the grid never stays frozen.
    void rebuildShowsChangedHeadersOnScreen()
    {
        QFETCH(bool, change);
        DayGrid grid;
        layOut(grid, 12, 6);
        grid.putSelectionText(page(11, 5, QStringLiteral("BROWN ")));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QTRY_COMPARE(onScreen(grid), rendered(grid));

        grid.suspendRedraw();
        grid.setColumnCountGrid(6);
        grid.setRowCountGrid(12);
        for (int c = 1; c < 6; ++c)
            grid.setCellText(0, c, change ? QStringLiteral("Dr %1").arg(c) : QStringLiteral("Provider %1").arg(c));
        grid.setColumnWidthTwips(2, change ? 1500 : 1000);
        grid.setCellText(4, 0, change ? QStringLiteral("04:30 AM") : QStringLiteral("04:00 AM"));
        grid.resumeRedraw();

        QVERIFY(grid.updatesEnabled());
        QCOMPARE(grid.cellText(0, 3), change ? QStringLiteral("Dr 3") : QStringLiteral("Provider 3"));
        QCOMPARE(grid.cellText(4, 0), change ? QStringLiteral("04:30 AM") : QStringLiteral("04:00 AM"));
        QTRY_COMPARE(onScreen(grid), rendered(grid));
    }
};

QTEST_MAIN(TestDayGrid)
#include "tst_daygrid.moc"
