#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Keys as a person at the keyboard sends them: always to whatever has the
// focus at that moment.
namespace Keyboard {
inline QWidget* focus()
{
    return QApplication::focusWidget();
}

inline void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* w = focus();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key), mods);
}

inline void type(const QString& text)
{
    for (QChar c : text) {
        QWidget* w = focus();
        QVERIFY(w);
        QTest::keyClick(w, c.toLatin1());
    }
}
} // namespace Keyboard
