#include "appointments/DayEditHistory.h"

#include "core/PageText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QUndoStack>
#include <utility>

// One change as stored: the day before it and as this desk asked it to be.
class StoredChange : public QUndoCommand
{
public:
    StoredChange(DayEditHistory& history, const ShownDay::Screen& before, const ShownDay::Screen& after)
        : m_history(history)
        , m_before(before)
        , m_after(after)
    {
    }

    void undo() override { m_history.takeBack(m_before, m_after); }
    // Pushed, the change is already on the page and stored.
    void redo() override
    {
        if (m_pushed)
            m_history.takeBack(m_after, m_before);
        m_pushed = true;
    }

private:
    DayEditHistory& m_history;
    const ShownDay::Screen m_before;
    const ShownDay::Screen m_after;
    bool m_pushed = false;
};

namespace {
const QKeySequence UndoKeys(Qt::ControlModifier | Qt::Key_Z);
const QKeySequence RedoKeys[] = {
    QKeySequence(Qt::ControlModifier | Qt::Key_Y), QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z)};
} // namespace

DayEditHistory::DayEditHistory(
    QWidget* window, ShownDay& day, QWidget* cellEditor, QPlainTextEdit* dailyPad, QPlainTextEdit* fixedPad, Page page)
    : QObject(window)
    , m_day(day)
    , m_dailyPad(dailyPad)
    , m_fixedPad(fixedPad)
    , m_page(std::move(page))
    , m_stack(new QUndoStack(this))
{
    connect(&day, &ShownDay::changeStored, this, &DayEditHistory::record);
    // The steps' texts are positions in the page's layout.
    connect(&day, &ShownDay::layoutFollowed, this, &DayEditHistory::clear);

    auto* undoKey = new QShortcut(UndoKeys, window);
    connect(undoKey, &QShortcut::activated, this, [this] { keyPressed(false); });
    for (const QKeySequence& keys : RedoKeys) {
        auto* redoKey = new QShortcut(keys, window);
        connect(redoKey, &QShortcut::activated, this, [this] { keyPressed(true); });
    }
    // These boxes take the keys for their own undo only when the platform
    // counts them as undo keys, a pad even with nothing left to take back:
    // keyPressed decides for them.
    for (QWidget* box : {cellEditor, static_cast<QWidget*>(m_dailyPad), static_cast<QWidget*>(m_fixedPad)})
        box->installEventFilter(this);
}

// Cleared while a step runs (the page followed another layout as it was
// stored), the stack is cleared once the step is over: QUndoStack still
// reads the step after running it.
void DayEditHistory::clear()
{
    if (m_moving)
        m_clearAfterStep = true;
    else
        m_stack->clear();
}

// Whatever is on the page and not yet stored becomes the latest step first,
// so that the undo takes back the change made last. A change stored
// meanwhile ends what there was to redo.
void DayEditHistory::step(bool redo)
{
    if (!m_page.store() || !(redo ? m_stack->canRedo() : m_stack->canUndo()))
        return;
    redo ? m_stack->redo() : m_stack->undo();
    if (std::exchange(m_clearAfterStep, false))
        m_stack->clear();
}

void DayEditHistory::keyPressed(bool redo)
{
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        redo ? line->redo() : line->undo();
        return;
    }
    if (auto* pad = qobject_cast<QPlainTextEdit*>(focus)) {
        const QTextDocument* typed = pad->document();
        if (redo ? typed->isRedoAvailable() : typed->isUndoAvailable()) {
            redo ? pad->redo() : pad->undo();
            return;
        }
    }
    step(redo);
}

bool DayEditHistory::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        if (keys == UndoKeys || keys == RedoKeys[0] || keys == RedoKeys[1]) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void DayEditHistory::record(const ShownDay::Screen& before, const ShownDay::Screen& after)
{
    if (m_moving || (before.day == after.day && before.fixedMemo == after.fixedMemo))
        return;
    // A pad's stored text is the page's to take back from now on.
    if (before.day.memo != after.day.memo)
        m_dailyPad->document()->clearUndoRedoStacks();
    if (before.fixedMemo != after.fixedMemo)
        m_fixedPad->document()->clearUndoRedoStacks();
    m_stack->push(new StoredChange(*this, before, after));
}

void DayEditHistory::takeBack(const ShownDay::Screen& before, const ShownDay::Screen& after)
{
    const QScopedValueRollback<bool> moving(m_moving, true);
    const ShownDay::Screen now = m_day.screen();
    m_page.show({DayMerge::takeBack(before.day, after.day, now.day),
        PageText::mergeMemo(after.fixedMemo, before.fixedMemo, now.fixedMemo)});
    // Declined, the texts stay on the page for the next store, as typed ones
    // do; the steps no longer match what is stored.
    if (!m_page.store())
        m_clearAfterStep = true;
}
