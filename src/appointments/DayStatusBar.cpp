#include "appointments/DayStatusBar.h"

#include "platform/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>

namespace {
// The bar's top left corner in the window, in twips; the geometry below is
// the window's less this.
constexpr int BarLeft = 1680;
constexpr int BarTop = 120;
} // namespace

DayStatusBar::DayStatusBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dayStatusBar"));
    setGeometry(Twips::rect(BarLeft, BarTop, 9204 - BarLeft, 672 - BarTop));
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
    m_shownDate->move(Twips::point(1680 - BarLeft, 360 - BarTop));
    m_shownWeekday->setObjectName(QStringLiteral("shownWeekday"));
    m_shownWeekday->move(Twips::point(3480 - BarLeft, 360 - BarTop));

    auto* hint = new QLabel(QStringLiteral("Press Alt-C"), this);
    hint->setObjectName(QStringLiteral("openClosedHint"));
    hint->move(Twips::point(7420 - BarLeft, 120 - BarTop));
    hint->adjustSize();
    m_selector = new QComboBox(this);
    m_selector->setObjectName(QStringLiteral("openClosedCombo"));
    m_selector->setGeometry(Twips::rect(7464 - BarLeft, 360 - BarTop, 1740, 312));
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
    m_shownWeekday->adjustSize();
    m_shownDate->adjustSize();
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
