#pragma once

#include <QLineEdit>

class DayGrid;
class ShownDay;

// The edit box over the cell of the day being typed. A key typed on the grid
// opens it on the current cell, the character in front of the cell's text;
// what is typed shows in the cell at once, tabs and line breaks taken out.
// Enter or Tab hands the text to the cell and ends the edit (finished); the
// edit settles against what was stored meanwhile (ShownDay::endCellEdit).
class CellEditor : public QLineEdit
{
    Q_OBJECT
public:
    CellEditor(DayGrid* grid, ShownDay& day, QWidget* parent);

    // Opens on the grid's current cell; Enter and Backspace type nothing
    // there. False on the grid's fixed row or column.
    bool openOnCurrentCell(QChar typed);
    // Lies over the cell being typed, wherever the grid shows it now.
    void placeOverCell();
    // Ends the edit: the cell shows its text merged with what was stored.
    void settle();

signals:
    void finished(bool byTab);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void typed(const QString& text);
    void finish(bool byTab);

    DayGrid* m_grid;
    ShownDay& m_day;
};
