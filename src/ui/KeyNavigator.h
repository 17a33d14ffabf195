#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <functional>
#include <optional>

class QWidget;

// The arrow keys and Enter on the boxes and buttons of a window worked from
// the keyboard. The controls stand in rows, top to bottom and each row left to
// right, which is also the order Enter moves on in. Up and Down go to the row
// above or below: to the control in the same column, or to the row's last
// when that row is shorter. Enter does what each control was given. A key
// without a meaning on a control reaches the control as usual.
class KeyNavigator : public QObject
{
    Q_OBJECT
public:
    // What Up on the first row and Down on the last do.
    enum class Ends {
        PassOn, // the control has the key
        Stop, // nothing
        WrapAround, // to the other end
    };

    enum Option {
        NoOptions = 0x0,
        LeftRightToo = 0x1, // Left moves as Up, Right as Down
        MoveLikeTab = 0x2, // the focus arrives as by Tab and Shift+Tab
        PlainKeysOnly = 0x4, // a key held with Shift, Ctrl, Alt or Meta reaches the control
    };
    Q_DECLARE_FLAGS(Options, Option)

    // What a key does on one control.
    struct Action
    {
        enum Kind { PassOn, Nothing, FocusOn, MoveOn, MoveOnWhenFilled, Press, Run };
        Kind kind = PassOn;
        QWidget* target = nullptr;
        std::function<void()> step;
    };
    // The control has the key.
    static Action passOn() { return {}; }
    // The key is taken and does nothing.
    static Action nothing() { return {Action::Nothing, nullptr, nullptr}; }
    static Action focusOn(QWidget* target) { return {Action::FocusOn, target, nullptr}; }
    // To the next control in the rows' order (nothing on the last) when the
    // box holds text; nothing while it is empty.
    static Action moveOnWhenFilled() { return {Action::MoveOnWhenFilled, nullptr, nullptr}; }
    // Clicks the button.
    static Action press() { return {Action::Press, nullptr, nullptr}; }
    static Action run(std::function<void()> step) { return {Action::Run, nullptr, std::move(step)}; }

    // Rows of one control each.
    static QList<QList<QWidget*>> column(const QList<QWidget*>& controls);

    // Watches every control of rows; window is the navigator's parent.
    KeyNavigator(QWidget* window, const QList<QList<QWidget*>>& rows, Ends ends, Options options = NoOptions);

    // Enter (Return or the keypad's Enter) on each of controls.
    void setEnter(const QList<QWidget*>& controls, const Action& action);
    // Up or Down on control, in place of the move between rows.
    void setUp(QWidget* control, const Action& action);
    void setDown(QWidget* control, const Action& action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Control
    {
        int row = -1; // -1 when outside the rows
        int column = -1;
        std::optional<Action> up;
        std::optional<Action> down;
        Action enter;
    };

    Control& watch(QWidget* control);
    Action rowMove(const Control& control, bool down) const;
    bool act(QWidget* control, const Action& action, bool forward);
    QWidget* nextInOrder(QWidget* control) const;

    QList<QList<QWidget*>> m_rows;
    Ends m_ends;
    Options m_options;
    QHash<const QObject*, Control> m_controls;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(KeyNavigator::Options)
