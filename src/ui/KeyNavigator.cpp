#include "ui/KeyNavigator.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>

QList<QList<QWidget*>> KeyNavigator::column(const QList<QWidget*>& controls)
{
    QList<QList<QWidget*>> rows;
    for (QWidget* control : controls)
        rows.append({control});
    return rows;
}

KeyNavigator::KeyNavigator(QWidget* window, const QList<QList<QWidget*>>& rows, Ends ends, Options options)
    : QObject(window)
    , m_rows(rows)
    , m_ends(ends)
    , m_options(options)
{
    for (int row = 0; row < m_rows.size(); ++row) {
        for (int column = 0; column < m_rows[row].size(); ++column) {
            Control& c = watch(m_rows[row][column]);
            c.row = row;
            c.column = column;
        }
    }
}

KeyNavigator::Control& KeyNavigator::watch(QWidget* control)
{
    auto it = m_controls.find(control);
    if (it == m_controls.end()) {
        control->installEventFilter(this);
        it = m_controls.insert(control, Control());
    }
    return *it;
}

void KeyNavigator::setEnter(const QList<QWidget*>& controls, const Action& action)
{
    for (QWidget* control : controls)
        watch(control).enter = action;
}

void KeyNavigator::setUp(QWidget* control, const Action& action)
{
    watch(control).up = action;
}

void KeyNavigator::setDown(QWidget* control, const Action& action)
{
    watch(control).down = action;
}

KeyNavigator::Action KeyNavigator::rowMove(const Control& control, bool down) const
{
    if (control.row < 0)
        return passOn();
    int row = control.row + (down ? 1 : -1);
    if (row < 0 || row >= m_rows.size()) {
        switch (m_ends) {
        case Ends::PassOn:
            return passOn();
        case Ends::Stop:
            return nothing();
        case Ends::WrapAround:
            row = down ? 0 : int(m_rows.size()) - 1;
            break;
        }
    }
    const QList<QWidget*>& target = m_rows[row];
    return focusOn(target[std::min(control.column, int(target.size()) - 1)]);
}

QWidget* KeyNavigator::nextInOrder(QWidget* control) const
{
    const Control c = m_controls.value(control);
    if (c.row < 0)
        return nullptr;
    if (c.column + 1 < m_rows[c.row].size())
        return m_rows[c.row][c.column + 1];
    if (c.row + 1 < m_rows.size())
        return m_rows[c.row + 1].front();
    return nullptr;
}

bool KeyNavigator::act(QWidget* control, const Action& action, bool forward)
{
    Qt::FocusReason reason = Qt::OtherFocusReason;
    if (m_options.testFlag(MoveLikeTab))
        reason = forward ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    QWidget* target = action.target;
    switch (action.kind) {
    case Action::PassOn:
        return false;
    case Action::Nothing:
        return true;
    case Action::MoveOnWhenFilled:
        if (auto* box = qobject_cast<QLineEdit*>(control); box && box->text().isEmpty())
            return true;
        [[fallthrough]];
    case Action::MoveOn:
        target = nextInOrder(control);
        [[fallthrough]];
    case Action::FocusOn:
        if (target)
            target->setFocus(reason);
        return true;
    case Action::Press:
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->click();
        return true;
    case Action::Run:
        action.step();
        return true;
    }
    return false;
}

bool KeyNavigator::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto it = m_controls.constFind(watched);
    if (it == m_controls.cend())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (m_options.testFlag(PlainKeysOnly) && (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // A copy: the action runs the window's own code.
    const Control control = *it;
    auto* widget = static_cast<QWidget*>(watched);
    const bool leftRight = m_options.testFlag(LeftRightToo);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return act(widget, control.enter, true);
    case Qt::Key_Left:
        if (!leftRight)
            return false;
        [[fallthrough]];
    case Qt::Key_Up:
        return act(widget, control.up.value_or(rowMove(control, false)), false);
    case Qt::Key_Right:
        if (!leftRight)
            return false;
        [[fallthrough]];
    case Qt::Key_Down:
        return act(widget, control.down.value_or(rowMove(control, true)), true);
    default:
        return false;
    }
}
