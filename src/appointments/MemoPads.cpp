#include "appointments/MemoPads.h"

#include "platform/Twips.h"
#include "ui/AltKeys.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

namespace {
// Where the pads start under their titles, in twips.
constexpr int PadTop = 240;

QFont arial9(bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(9);
    f.setBold(bold);
    return f;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->adjustSize();
    return l;
}
} // namespace

MemoPads::MemoPads(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("memoPads"));
    for (QPlainTextEdit** pad : {&m_dailyPad, &m_fixedPad}) {
        *pad = new QPlainTextEdit(this);
        (*pad)->setFont(arial9(false));
        (*pad)->setStyleSheet(
            QStringLiteral("QPlainTextEdit { color: rgb(0,0,128); background-color: rgb(224,224,224); }"
                           "QPlainTextEdit:focus { background-color: white; }"));
        (*pad)->installEventFilter(this);
        AltKeys::keepOutOf(*pad);
        connect(*pad, &QPlainTextEdit::textChanged, this, [this, pad = *pad] { typed(pad); });
    }
    m_dailyPad->setObjectName(QStringLiteral("dailyMemoEdit"));
    m_fixedPad->setObjectName(QStringLiteral("fixedMemoEdit"));
    m_fixedPad->hide();

    QLabel* dailyTitle = label(this, QStringLiteral("dailyMemoTitle"), QStringLiteral("Daily Memo"));
    QLabel* dailyHint = label(this, QStringLiteral("dailyMemoHint"), QStringLiteral(" (Press Alt-D)"));
    m_fixedTitle = label(this, QStringLiteral("fixedMemoTitle"), QStringLiteral("Fixed Memo"));
    m_fixedHint = label(this, QStringLiteral("fixedMemoHint"), QStringLiteral(" (Press Alt-F)"));
    for (QLabel* l : {dailyTitle, m_fixedTitle})
        l->setFont(arial9(true));
    // The fixed pad's title covers the daily one's while it is shown.
    for (QLabel* l : {m_fixedTitle, m_fixedHint}) {
        l->setAutoFillBackground(true);
        l->hide();
    }
    dailyHint->move(dailyTitle->geometry().right() + 2, 0);
    m_fixedHint->move(m_fixedTitle->geometry().right() + 2, 0);
    // The pads as designed at least, and the titles' hints whole beside them.
    setMinimumSize(childrenRect().united(Twips::rect(0, 0, 2196, PadTop + 2772)).size());

    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(PauseMillis);
    connect(m_pause, &QTimer::timeout, this, &MemoPads::typingPaused);
}

void MemoPads::resizeEvent(QResizeEvent* event)
{
    // The pads take the panel's room under the titles.
    const int top = Twips::toPixels(PadTop);
    for (QPlainTextEdit* pad : {m_dailyPad, m_fixedPad})
        pad->setGeometry(0, top, width(), height() - top);
    QWidget::resizeEvent(event);
}

bool MemoPads::showsFixedPad() const
{
    return !m_fixedPad->isHidden();
}

void MemoPads::showPad(bool fixed)
{
    for (QWidget* w :
        {static_cast<QWidget*>(m_fixedPad), static_cast<QWidget*>(m_fixedTitle), static_cast<QWidget*>(m_fixedHint)}) {
        w->setVisible(fixed);
        if (fixed)
            w->raise();
    }
    (fixed ? m_fixedPad : m_dailyPad)->setFocus();
}

void MemoPads::mergeText(QPlainTextEdit* pad, const QString& text)
{
    const QScopedValueRollback<bool> merging(m_merging, true);
    const QTextCursor before = pad->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    const int scroll = pad->verticalScrollBar()->value();
    pad->setPlainText(text);
    const int end = pad->document()->characterCount() - 1;
    QTextCursor after = pad->textCursor();
    after.setPosition(std::min(anchor, end));
    after.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
    pad->setTextCursor(after);
    pad->verticalScrollBar()->setValue(scroll);
}

void MemoPads::waitAgain()
{
    m_pause->start();
}

void MemoPads::typed(QPlainTextEdit* pad)
{
    // Only typing counts: a day being shown or a text merged in is no keystroke.
    if (m_merging || !pad->hasFocus())
        return;
    m_pause->start();
}

bool MemoPads::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_dailyPad || watched == m_fixedPad) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            emit tabPressed();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
