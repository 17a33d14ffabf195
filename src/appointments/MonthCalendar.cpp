#include "appointments/MonthCalendar.h"

#include "platform/Twips.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>

MonthCalendar::MonthCalendar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("monthCalendar"));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* weekdayHeads = new QWidget(this);
    weekdayHeads->setObjectName(QStringLiteral("weekdayHeads"));
    weekdayHeads->setGeometry(Twips::rect(0, 360, 2120, 280));
    static const int lefts[7] = {0, 310, 610, 910, 1210, 1510, 1810};
    static const int tops[6] = {650, 960, 1260, 1570, 1880, 2200};
    static const char* const heads[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
    QFont narrow(QStringLiteral("Arial Narrow"));
    narrow.setPointSize(9);
    narrow.setBold(true);
    for (int c = 0; c < 7; ++c) {
        auto* head = new QLabel(QString::fromLatin1(heads[c]), weekdayHeads);
        head->setObjectName(QStringLiteral("weekdayHead%1").arg(c));
        head->setGeometry(Twips::rect(lefts[c], 0, c == 0 ? 300 : 290, 280));
        head->setAlignment(Qt::AlignCenter);
        head->setFont(narrow);
        // Through the palette: a style sheet per label would be parsed and
        // applied for each of them, at start-up and on every repaint.
        QPalette p = head->palette();
        p.setColor(QPalette::WindowText, c == 0 ? Qt::red : Qt::black);
        head->setPalette(p);
    }
    for (int i = 0; i < CalendarMath::LabelCount; ++i) {
        const int row = i / 7;
        const int col = i % 7;
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("dayLabel%1").arg(i));
        l->setGeometry(Twips::rect(lefts[col], tops[row], col == 0 ? 300 : 290, 300));
        l->setAlignment(Qt::AlignCenter);
        l->setFont(narrow);
        l->setAutoFillBackground(true);
        m_dayLabels[size_t(i)] = l;
        paintDayLabel(i, Qt::white);
    }

    // The two lists lie over the calendar's top.
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPointSize(8);
    m_monthList = new QComboBox(this);
    m_monthList->setObjectName(QStringLiteral("monthCombo"));
    m_monthList->setGeometry(Twips::rect(0, 0, 1212, 312));
    m_yearList = new QComboBox(this);
    m_yearList->setObjectName(QStringLiteral("yearCombo"));
    m_yearList->setGeometry(Twips::rect(1220, 0, 900, 312));
    for (QComboBox* list : {m_monthList, m_yearList}) {
        list->setFont(listFont);
        list->installEventFilter(this);
    }
    for (const QString& month : {QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
             QStringLiteral("April"), QStringLiteral("May"), QStringLiteral("June"), QStringLiteral("July"),
             QStringLiteral("August"), QStringLiteral("September"), QStringLiteral("October"),
             QStringLiteral("November"), QStringLiteral("December")})
        m_monthList->addItem(month);
    for (int y = CalendarMath::FirstListYear; y <= CalendarMath::LastListYear; ++y)
        m_yearList->addItem(QString::number(y));
    // The lists come before the days in the focus chain.
    setTabOrder(m_yearList, this);
}

void MonthCalendar::paintDayLabel(int index, const QColor& colour)
{
    if (index < 0 || index >= CalendarMath::LabelCount)
        return;
    QLabel* l = m_dayLabels[size_t(index)];
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, index % 7 == 0 ? Qt::red : Qt::blue);
    l->setPalette(p);
}

void MonthCalendar::numberDayLabels()
{
    for (int i = 0; i < CalendarMath::LabelCount; ++i)
        m_dayLabels[size_t(i)]->setText(QString::number(m_dates[size_t(i)].day()));
}

void MonthCalendar::fill(const QDate& date)
{
    const std::optional<CalendarMath::CalendarPage> page = CalendarMath::fill(date);
    if (!page)
        return;
    m_dates = page->dates;
    m_selectedIndex = page->selIndex;
    numberDayLabels();
    const QSignalBlocker monthQuiet(m_monthList);
    const QSignalBlocker yearQuiet(m_yearList);
    m_monthList->setCurrentIndex(CalendarMath::monthListIndex(date));
    m_yearList->setCurrentIndex(CalendarMath::yearListIndex(date));
    paintDayLabel(m_selectedIndex, SelectionColour);
}

void MonthCalendar::showMonthOf(const QDate& date)
{
    paintDayLabel(m_selectedIndex, Qt::white);
    fill(date);
}

void MonthCalendar::markChosen(const QDate& date)
{
    paintDayLabel(m_selectedIndex, Qt::white);
    const auto at = std::find(m_dates.begin(), m_dates.end(), date);
    if (at != m_dates.end())
        m_selectedIndex = int(at - m_dates.begin());
    paintDayLabel(m_selectedIndex, ChosenColour);
}

void MonthCalendar::returnTo(const QDate& date)
{
    paintDayLabel(m_selectedIndex, Qt::white);
    fill(date);
    paintDayLabel(m_selectedIndex, ChosenColour);
    setFocus();
}

void MonthCalendar::showListsFor(const QDate& date)
{
    const int month = CalendarMath::monthListIndex(date);
    if (m_monthList->currentIndex() != month)
        m_monthList->setCurrentIndex(month);
    const int year = CalendarMath::yearListIndex(date);
    if (m_yearList->currentIndex() != year)
        m_yearList->setCurrentIndex(year);
}

void MonthCalendar::activateDay(int index)
{
    if (index < 0 || index >= CalendarMath::LabelCount)
        return;
    emit dateActivated(m_dates[size_t(index)]);
}

bool MonthCalendar::keyPressed(int key)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter
        || key == Qt::Key_Space) {
        activateDay(m_selectedIndex);
        return true;
    }
    const std::optional<CalendarMath::Key> k = CalendarMath::keyFor(key);
    if (!k)
        return false;
    const CalendarMath::Move move = CalendarMath::moveSelection(*k, m_dates, m_selectedIndex);
    if (!move.changed)
        return true;
    for (int i : move.paintedWhite)
        paintDayLabel(i, Qt::white);
    const bool scrolled = move.dates != m_dates;
    m_dates = move.dates;
    m_selectedIndex = move.selIndex;
    if (scrolled)
        numberDayLabels();
    paintDayLabel(m_selectedIndex, SelectionColour);
    showListsFor(m_dates[size_t(m_selectedIndex)]);
    return true;
}

// Tab chooses the selected day here instead of moving the focus.
bool MonthCalendar::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && hasFocus()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && keyPressed(key))
            return true;
    }
    return QWidget::event(event);
}

void MonthCalendar::keyPressEvent(QKeyEvent* event)
{
    // Keys the lists leave unused come here too; they are not the calendar's.
    if (!hasFocus() || !keyPressed(event->key()))
        QWidget::keyPressEvent(event);
}

void MonthCalendar::mousePressEvent(QMouseEvent* event)
{
    // The labels leave their clicks to the calendar.
    const auto label = std::find(m_dayLabels.begin(), m_dayLabels.end(), childAt(event->position().toPoint()));
    if (label != m_dayLabels.end()) {
        activateDay(int(label - m_dayLabels.begin()));
        return;
    }
    emit pressed();
    setFocus();
}

void MonthCalendar::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first click of the two has chosen already.
    event->ignore();
}

void MonthCalendar::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    paintDayLabel(m_selectedIndex, SelectionColour);
}

void MonthCalendar::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    paintDayLabel(m_selectedIndex, ChosenColour);
}

// Tab leaving the month or year list moves the calendar to the month and
// year they show.
bool MonthCalendar::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_monthList || watched == m_yearList) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            commitMonthYear();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MonthCalendar::commitMonthYear()
{
    paintDayLabel(m_selectedIndex, Qt::white);
    const int day = m_dayLabels[size_t(m_selectedIndex)]->text().toInt();
    const QDate date = CalendarMath::composeFromLists(day, m_monthList->currentIndex(), m_yearList->currentIndex());
    if (date.isValid() && date >= CalendarMath::MinDate)
        fill(date);
    else
        paintDayLabel(m_selectedIndex, SelectionColour);
    setFocus();
}
