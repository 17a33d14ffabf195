#include "appointments/CellEditor.h"

#include "appointments/DayGrid.h"
#include "appointments/ShownDay.h"
#include "core/PageText.h"
#include "ui/AltKeys.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>

CellEditor::CellEditor(DayGrid* grid, ShownDay& day, QWidget* parent)
    : QLineEdit(parent)
    , m_grid(grid)
    , m_day(day)
{
    setObjectName(QStringLiteral("cellEditor"));
    setFrame(false);
    setStyleSheet(QStringLiteral("background-color: rgb(255,255,192); color: black;"));
    hide();
    AltKeys::keepOutOf(this);
    connect(this, &QLineEdit::textChanged, this, &CellEditor::typed);
    // The columns widen and narrow with the window; the editor stays on its cell.
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (isVisible())
            placeOverCell();
    });
}

bool CellEditor::openOnCurrentCell(QChar typed)
{
    const int row = m_grid->currentRowGrid();
    const int column = m_grid->currentColGrid();
    if (row < 1 || column < 1)
        return false;
    {
        const QSignalBlocker quiet(this);
        setText(m_grid->cellText(row, column));
    }
    m_day.beginCellEdit(row, column);
    setCursorPosition(0);
    placeOverCell();
    show();
    raise();
    setFocus();
    // As if typed in the cell with the insertion point at its start.
    if (typed != QChar(13) && typed != QChar(8))
        insert(QString(typed));
    return true;
}

void CellEditor::placeOverCell()
{
    const QRect cell = m_grid->currentCellRect();
    setGeometry(QRect(m_grid->geometry().topLeft() + cell.topLeft(), cell.size()));
}

void CellEditor::settle()
{
    if (!m_day.isEditing())
        return;
    hide();
    const int row = m_day.editedRow();
    const int column = m_day.editedColumn();
    const QString mine = m_grid->cellText(row, column);
    const QString settled = m_day.endCellEdit(mine);
    if (settled != mine)
        m_grid->setCellText(row, column, settled);
}

void CellEditor::typed(const QString& text)
{
    const QString clean = PageText::cleanCell(text);
    if (clean != text) {
        // A paste may carry tabs or line breaks; they would break the page.
        const int pos = cursorPosition();
        const QSignalBlocker quiet(this);
        setText(clean);
        setCursorPosition(pos);
    }
    if (m_day.editedRow() >= 1 && m_day.editedColumn() >= 1)
        m_grid->setCellText(m_day.editedRow(), m_day.editedColumn(), clean);
}

// The cell takes the text before the commit merges it.
void CellEditor::finish(bool byTab)
{
    m_grid->setCellText(m_day.editedRow(), m_day.editedColumn(), text());
    emit finished(byTab);
}

bool CellEditor::event(QEvent* event)
{
    // Tab would otherwise move the focus before keyPressEvent sees it.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            finish(true);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CellEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        finish(false);
    QLineEdit::keyPressEvent(event);
}
