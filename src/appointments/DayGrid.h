#pragma once

#include "core/DayLayout.h"

#include <QColor>
#include <QTableWidget>

// The day page's grid. Row 0 is the fixed header row (provider names) and
// column 0 the fixed time column; both are drawn by the view's headers so
// they stay in place while the page scrolls. Indices given to this class are
// grid indices: the page cell (r, c) with r, c >= 1 is table cell (r-1, c-1).
// The grid never edits its cells itself; typed characters are offered to the
// window first (charTyped), which decides what happens.
class DayGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit DayGrid(QWidget* parent = nullptr);

    int rowCountGrid() const { return rowCount() + 1; }
    int columnCountGrid() const { return columnCount() + 1; }

    int currentRowGrid() const;
    int currentColGrid() const;
    void setCurrentCell(int row, int col);

    // Text of any cell; row 0 and column 0 are the fixed cells.
    QString cellText(int row, int col) const;
    void setCellText(int row, int col, const QString& text);

    // Lays the grid out as a page of layout: provider columns and their
    // names, time rows and their times. Redraws only what changed, nothing
    // when the grid has that layout already.
    void layOutPage(const DayLayout& layout);
    // The whole page's text, and a page text put into it by position.
    QString pageText();
    void putPageText(const QString& text);
    // Lays the grid out anew in layout and shows text there; the current
    // cell moves to the row of the same time.
    void movePage(const DayLayout& layout, const QString& text);
    // Puts a page text into the page without disturbing the person typing:
    // only cells whose text changed are touched, and (keepRow, keepCol)
    // keeps its own.
    void mergePageText(const QString& text, int keepRow, int keepCol);

    // Geometry of the current cell relative to the grid widget.
    QRect currentCellRect() const;

    void setCellBackground(const QColor& colour);
    QColor cellBackground() const { return m_background; }

signals:
    // A typed character (Enter as '\r', Tab as '\t'). Set *clear to keep the
    // grid from handling it.
    void charTyped(QChar ch, bool* clear);
    // Delete without modifiers, to empty the current cell.
    void deletePressed();
    void scrolled();

protected:
    bool event(QEvent* e) override;
    // A text too long for its cell shows whole in a tooltip.
    bool viewportEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void setRowCountGrid(int rows); // including row 0
    void setColumnCountGrid(int columns); // including column 0
    // The time column's width (col 0), or the least width of every provider
    // column (any other col).
    void setColumnWidthTwips(int col, int twips);
    // The selection from (row1, col1) to (row2, col2) and its text in the
    // page-text form.
    void setSelectionRange(int row1, int col1, int row2, int col2);
    QString selectionText() const;
    // Places a page text into the selection by position; rows or cells beyond
    // it are ignored, selection cells it does not reach keep their text.
    void putSelectionText(const QString& text);
    void suspendRedraw();
    void resumeRedraw();
    QTableWidgetItem* itemAt(int row, int col, bool create);
    void changing();
    void setHeaderText(Qt::Orientation orientation, int section, const QString& text);
    DayLayout m_pageLayout;
    QColor m_background = Qt::white;
    bool m_backgroundSet = false;
    int m_selRow1 = 1, m_selCol1 = 1, m_selRow2 = 0, m_selCol2 = 0;
    int m_suspended = 0;
    bool m_redrawStopped = false;
};
