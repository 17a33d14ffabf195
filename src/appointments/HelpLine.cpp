#include "appointments/HelpLine.h"

#include "platform/Twips.h"

#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

HelpLine::HelpLine(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("helpLine"));
    m_hint = new QLabel(QStringLiteral("Press F1 for Help"), this);
    m_hint->setObjectName(QStringLiteral("helpHint"));
    // Level with the memo button beside it.
    m_hint->setContentsMargins(0, Twips::toPixels(340), 0, 0);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("helpText"));
    m_text->setText(QStringLiteral(
        "Use TAB key to move between Calendar and Appointment Book. Use ARROW keys to navigate around Calendar and "
        "Page. Pressing Esc Key will return you to today's page. Press Alt-C, Alt-D or Alt-F to activate status bar "
        "and Memo pads respectively; press Alt-M, Alt-Y to change Month or Year of the page; you must  then press TAB "
        "key to return to Appointment page. Press F2 to turn off this Help message. Thank you."));
    m_text->setWordWrap(true);
    QPalette maroon = m_text->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    m_text->setPalette(maroon);
    m_text->hide();
    // The foot of the page keeps its height whichever of the two shows, more
    // where the text needs more.
    setMinimumHeight(Twips::toPixels(1100));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_hint, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_text);
    layout->addStretch();

    for (const bool shown : {true, false}) {
        auto* key = new QShortcut(QKeySequence(shown ? Qt::Key_F1 : Qt::Key_F2), this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, [this, shown] { setTextShown(shown); });
    }
}

void HelpLine::setTextShown(bool shown)
{
    m_text->setVisible(shown);
    m_hint->setVisible(!shown);
}
