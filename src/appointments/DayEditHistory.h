#pragma once

#include "appointments/ShownDay.h"

#include <QObject>
#include <functional>

class QPlainTextEdit;
class QUndoStack;
class QWidget;

// The shown day's changes, to be taken back (Ctrl+Z) and done again (Ctrl+Y
// or Ctrl+Shift+Z). Every change this desk stores is one step: a slot typed
// or cleared, a memo, the fixed memo, the open/closed choice. An undo or redo
// is itself stored like any edit, so other desks see it, and it merges with
// what they changed since (DayMerge::takeBack): it never overwrites their
// text. The history belongs to the day shown: opening a day starts it empty,
// and so does the page moving into another layout.
//
// In a text box the keys are the box's own while it has typing of its own to
// take back: the edit box over a slot always, a memo pad until its text is
// stored; after that the page's history goes on from the pad.
class DayEditHistory : public QObject
{
    Q_OBJECT
public:
    struct Page
    {
        // Stores everything on the page, the slot being typed too; false
        // when that failed and the user chose not to retry.
        std::function<bool()> store;
        // Puts texts on the page as a merge does (the focus stays).
        std::function<void(const ShownDay::Screen&)> show;
    };

    DayEditHistory(QWidget* window, ShownDay& day, QWidget* cellEditor, QPlainTextEdit* dailyPad,
        QPlainTextEdit* fixedPad, Page page);

    void clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class StoredChange;

    void keyPressed(bool redo);
    void step(bool redo);
    void record(const ShownDay::Screen& before, const ShownDay::Screen& after);
    void takeBack(const ShownDay::Screen& before, const ShownDay::Screen& after);

    ShownDay& m_day;
    QPlainTextEdit* m_dailyPad;
    QPlainTextEdit* m_fixedPad;
    Page m_page;
    QUndoStack* m_stack = nullptr;
    bool m_moving = false; // an undo or redo is being stored
    bool m_clearAfterStep = false;
};
