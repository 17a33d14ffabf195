#include "appointments/DayGrid.h"

#include "appointments/DayCellDelegate.h"
#include "appointments/DayGridHeader.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Twips.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>

DayGrid::DayGrid(QWidget* parent)
    : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalHeader(new DayGridHeader(Qt::Horizontal, this));
    setVerticalHeader(new DayGridHeader(Qt::Vertical, this));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setGridStyle(Qt::SolidLine);
    setItemDelegate(new DayCellDelegate(this));
    setCellBackground(Qt::white);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { emit scrolled(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { emit scrolled(); });
}

void DayGrid::setRowCountGrid(int rows)
{
    const int old = rowCount();
    if (std::max(0, rows - 1) != old)
        changing();
    setRowCount(std::max(0, rows - 1));
    for (int r = old; r < rowCount(); ++r)
        setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
}

void DayGrid::setColumnCountGrid(int columns)
{
    const int old = columnCount();
    if (std::max(0, columns - 1) != old)
        changing();
    setColumnCount(std::max(0, columns - 1));
    for (int c = old; c < columnCount(); ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
}

int DayGrid::currentRowGrid() const
{
    return currentRow() + 1;
}

int DayGrid::currentColGrid() const
{
    return currentColumn() + 1;
}

void DayGrid::setCurrentCell(int row, int col)
{
    QTableWidget::setCurrentCell(row - 1, col - 1);
}

QTableWidgetItem* DayGrid::itemAt(int row, int col, bool create)
{
    QTableWidgetItem* it = item(row - 1, col - 1);
    if (!it && create) {
        it = new QTableWidgetItem;
        setItem(row - 1, col - 1, it);
    }
    return it;
}

QString DayGrid::cellText(int row, int col) const
{
    if (row == 0 && col == 0)
        return QString();
    if (row == 0) {
        const QTableWidgetItem* h = horizontalHeaderItem(col - 1);
        return h ? h->text() : QString();
    }
    if (col == 0) {
        const QTableWidgetItem* h = verticalHeaderItem(row - 1);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* it = item(row - 1, col - 1);
    return it ? it->text() : QString();
}

// The fixed row (Qt::Horizontal) and the fixed column (Qt::Vertical). A
// header text that changes makes the view measure every header section
// again; rebuilding the same layout changes none.
void DayGrid::setHeaderText(Qt::Orientation orientation, int section, const QString& text)
{
    const bool across = orientation == Qt::Horizontal;
    if (section >= (across ? columnCount() : rowCount()))
        return;
    QTableWidgetItem* h = across ? horizontalHeaderItem(section) : verticalHeaderItem(section);
    if (h && h->text() == text)
        return;
    changing();
    if (h)
        h->setText(text);
    else if (across)
        setHorizontalHeaderItem(section, new QTableWidgetItem(text));
    else
        setVerticalHeaderItem(section, new QTableWidgetItem(text));
}

void DayGrid::setCellText(int row, int col, const QString& text)
{
    if (row == 0 && col == 0)
        return;
    if (row == 0) {
        setHeaderText(Qt::Horizontal, col - 1, text);
        return;
    }
    if (col == 0) {
        setHeaderText(Qt::Vertical, row - 1, text);
        return;
    }
    if (row - 1 >= rowCount() || col - 1 >= columnCount())
        return;
    QTableWidgetItem* it = itemAt(row, col, false);
    if (it ? it->text() == text : text.isEmpty())
        return;
    changing();
    if (!it)
        it = itemAt(row, col, true);
    it->setText(text);
}

void DayGrid::setColumnWidthTwips(int col, int twips)
{
    const int pixels = Twips::toPixels(twips);
    if (col == 0) {
        QHeaderView* header = verticalHeader();
        if (header->minimumWidth() == pixels && header->maximumWidth() == pixels)
            return;
        changing();
        header->setFixedWidth(pixels);
        return;
    }
    // The provider columns share the page's width, each at least as wide as
    // designed; past that the page scrolls sideways.
    QHeaderView* header = horizontalHeader();
    if (header->minimumSectionSize() == pixels)
        return;
    changing();
    header->setMinimumSectionSize(pixels);
}

void DayGrid::setSelectionRange(int row1, int col1, int row2, int col2)
{
    m_selRow1 = row1;
    m_selCol1 = col1;
    m_selRow2 = row2;
    m_selCol2 = col2;
}

QString DayGrid::selectionText() const
{
    QString out;
    for (int r = m_selRow1; r <= m_selRow2; ++r) {
        if (r > m_selRow1)
            out += PageText::RowSeparator;
        for (int c = m_selCol1; c <= m_selCol2; ++c) {
            if (c > m_selCol1)
                out += PageText::CellSeparator;
            out += cellText(r, c);
        }
    }
    return out;
}

void DayGrid::putSelectionText(const QString& text)
{
    const PageText::Cells rows = PageText::split(text);
    // Page cells only: one change notice for the whole selection instead of
    // one per cell, so that the view repaints once rather than gathering the
    // areas of hundreds of cells. Header cells announce themselves.
    const bool pageOnly = m_selRow1 >= 1 && m_selCol1 >= 1;
    {
        const QSignalBlocker quiet(pageOnly ? model() : nullptr);
        for (int r = m_selRow1; r <= m_selRow2; ++r) {
            const qsizetype ri = r - m_selRow1;
            if (ri >= rows.size())
                break;
            for (int c = m_selCol1; c <= m_selCol2; ++c) {
                const qsizetype ci = c - m_selCol1;
                if (ci >= rows[ri].size())
                    break;
                setCellText(r, c, rows[ri][ci]);
            }
        }
    }
    const int lastRow = std::min(m_selRow2, rowCount());
    const int lastCol = std::min(m_selCol2, columnCount());
    if (pageOnly && lastRow >= m_selRow1 && lastCol >= m_selCol1)
        emit model()->dataChanged(
            model()->index(m_selRow1 - 1, m_selCol1 - 1), model()->index(lastRow - 1, lastCol - 1));
}

void DayGrid::layOutPage(const DayLayout& layout)
{
    if (layout == m_pageLayout && columnCountGrid() == layout.columnCount)
        return;
    suspendRedraw();
    setColumnWidthTwips(0, DayLayoutRules::TimeColumnWidth);
    setColumnCountGrid(layout.columnCount);
    setColumnWidthTwips(1, DayLayoutRules::providerColumnWidth(layout.columnCount));
    for (int c = 1; c < layout.columnCount; ++c) {
        setCellText(0, c, c < layout.providerNames.size() ? layout.providerNames[c] : QString());
    }
    setRowCountGrid(layout.rowCount());
    setCellText(1, 0, QString());
    for (int i = 0; i < layout.timeTexts.size(); ++i)
        setCellText(i + 2, 0, layout.timeTexts[i]);
    setCellText(layout.lastRow, 0, QString());
    resumeRedraw();
    m_pageLayout = layout;
}

QString DayGrid::pageText()
{
    setSelectionRange(1, 1, m_pageLayout.lastRow, m_pageLayout.lastCol);
    return selectionText();
}

void DayGrid::putPageText(const QString& text)
{
    setSelectionRange(1, 1, m_pageLayout.lastRow, m_pageLayout.lastCol);
    putSelectionText(text);
}

void DayGrid::movePage(const DayLayout& layout, const QString& text)
{
    const int row = DayPlacement::rowFor(currentRowGrid(), m_pageLayout, layout);
    const int column = currentColGrid();
    layOutPage(layout);
    putPageText(text);
    if (row > 0)
        setCurrentCell(row, column);
}

void DayGrid::mergePageText(const QString& text, int keepRow, int keepCol)
{
    const PageText::Cells cells = PageText::fit(text, m_pageLayout.lastRow, m_pageLayout.lastCol);
    for (int r = 1; r <= m_pageLayout.lastRow; ++r) {
        for (int c = 1; c <= m_pageLayout.lastCol; ++c) {
            if (r == keepRow && c == keepCol)
                continue;
            setCellText(r, c, cells[r - 1][c - 1]);
        }
    }
}

QRect DayGrid::currentCellRect() const
{
    const QModelIndex idx = currentIndex();
    if (!idx.isValid())
        return QRect();
    const QRect r = visualRect(idx);
    return r.translated(viewport()->geometry().topLeft());
}

void DayGrid::setCellBackground(const QColor& colour)
{
    // A new palette repaints the whole grid, headers and all.
    if (m_backgroundSet && colour == m_background)
        return;
    m_backgroundSet = true;
    m_background = colour;
    // In the style sheet, not the palette: a widget with a style sheet keeps
    // the palette it was polished with, so a new page colour set through the
    // palette showed only in the cells repainted for another reason. The
    // selection looks like any other cell; the current cell shows by its
    // focus frame only.
    const QString page = colour.name();
    setStyleSheet(QStringLiteral("QHeaderView::section { background-color: #c0c0c0; color: black; "
                                 "border: 0px; border-right: 1px solid #a0a0a0; border-bottom: 1px solid #a0a0a0; "
                                 "padding-left: 3px; }"
                                 "QTableCornerButton::section { background-color: #c0c0c0; border: 0px; }"
                                 "QTableView { background-color: %1; color: black; selection-background-color: %1; "
                                 "selection-color: black; }")
                      .arg(page));
    viewport()->update();
}

void DayGrid::suspendRedraw()
{
    ++m_suspended;
}

void DayGrid::resumeRedraw()
{
    if (m_suspended > 0 && --m_suspended == 0 && m_redrawStopped) {
        m_redrawStopped = false;
        setUpdatesEnabled(true);
    }
}

void DayGrid::changing()
{
    // Redrawing stops at the first real change of a suspended rebuild and the
    // whole grid is drawn anew when it resumes; a rebuild that changes nothing
    // (the same layout again) redraws nothing.
    if (m_suspended > 0 && !m_redrawStopped) {
        m_redrawStopped = true;
        setUpdatesEnabled(false);
    }
}

void DayGrid::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange) {
        // Slot rows as tall as the text needs, like a paper appointment book.
        const int h = fontMetrics().height() + 8;
        verticalHeader()->setDefaultSectionSize(h);
        horizontalHeader()->setFixedHeight(h);
    }
    QTableWidget::changeEvent(e);
}

bool DayGrid::event(QEvent* e)
{
    // Tab would otherwise become focus navigation before keyPressEvent.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            bool clear = false;
            emit charTyped(QChar(9), &clear);
            e->accept();
            return true;
        }
    }
    return QTableWidget::event(e);
}

bool DayGrid::viewportEvent(QEvent* e)
{
    if (e->type() != QEvent::ToolTip)
        return QTableWidget::viewportEvent(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data().toString();
    // The cell's own margins: what the delegate leaves for the text.
    const int room
        = visualRect(index).width() - 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    if (index.isValid() && fontMetrics().horizontalAdvance(text) > room)
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    else
        QToolTip::hideText();
    return true;
}

void DayGrid::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    if (key == Qt::Key_Delete && !(e->modifiers() & ~Qt::KeypadModifier)) {
        emit deletePressed();
        e->accept();
        return;
    }
    QChar ch;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        ch = QChar(13);
    } else if (!e->text().isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar c = e->text().at(0);
        if (c.isPrint() || c == QChar(8))
            ch = c;
    }
    if (!ch.isNull()) {
        bool clear = false;
        emit charTyped(ch, &clear);
        if (clear) {
            e->accept();
            return;
        }
        // The grid itself does nothing with characters.
        if (ch != QChar(8)) {
            e->accept();
            return;
        }
    }
    QTableWidget::keyPressEvent(e);
}
