#include "appointments/DayStatusBar.h"

#include "platform/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>

DayStatusBar::DayStatusBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dayStatusBar"));
    QFont big(QStringLiteral("Arial"));
    big.setPointSize(12);
    big.setBold(true);
    for (QLabel** heading : {&m_shownDate, &m_shownWeekday}) {
        *heading = new QLabel(this);
        (*heading)->setFont(big);
        QPalette blue = (*heading)->palette();
        blue.setColor(QPalette::WindowText, Qt::blue);
        (*heading)->setPalette(blue);
    }
    m_shownDate->setObjectName(QStringLiteral("shownDate"));
    // The weekday starts where designed however short the date is.
    m_shownDate->setMinimumWidth(Twips::toPixels(1800));
    m_shownWeekday->setObjectName(QStringLiteral("shownWeekday"));

    auto* hint = new QLabel(QStringLiteral("Press Alt-C"), this);
    hint->setObjectName(QStringLiteral("openClosedHint"));
    m_selector = new QComboBox(this);
    m_selector->setObjectName(QStringLiteral("openClosedCombo"));
    // At least as designed, and as wide as its longest caption.
    m_selector->setMinimumWidth(Twips::toPixels(1740));
    m_selector->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    // The headings on the left at the designed indent, the selector at the
    // page's right edge under its hint.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(Twips::toPixels(1440), 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(hint, 0, 3);
    layout->addWidget(m_shownDate, 1, 0);
    layout->addWidget(m_shownWeekday, 1, 1);
    layout->setColumnStretch(2, 1);
    layout->addWidget(m_selector, 1, 3);
    m_selector->installEventFilter(this);
    m_closedCheck = new QCheckBox(this);
    m_closedCheck->setObjectName(QStringLiteral("closedCheck"));
    m_closedCheck->hide();
}

void DayStatusBar::setLocation(const QString& location)
{
    m_selector->clear();
    m_selector->addItem(QStringLiteral(" ") + location + QStringLiteral(" Open"));
    m_selector->addItem(QStringLiteral(" ") + location + QStringLiteral(" Closed"));
    m_selector->setCurrentIndex(0);
}

void DayStatusBar::showDate(const QDate& date)
{
    const QLocale locale;
    m_shownWeekday->setText(locale.toString(date, QStringLiteral("dddd")));
    m_shownDate->setText(locale.toString(date, QLocale::ShortFormat));
}

void DayStatusBar::showClosed(bool closed)
{
    m_selector->setCurrentIndex(closed ? 1 : 0);
    m_closedCheck->setChecked(closed);
}

void DayStatusBar::mergeClosed(bool closed)
{
    m_closedCheck->setChecked(closed);
    if (!m_selector->hasFocus())
        m_selector->setCurrentIndex(closed ? 1 : 0);
}

bool DayStatusBar::isClosed() const
{
    return m_closedCheck->isChecked();
}

bool DayStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_selector && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            m_closedCheck->setChecked(m_selector->currentIndex() == 1);
            emit closedChosen(m_closedCheck->isChecked());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
