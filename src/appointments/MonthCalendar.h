#pragma once

#include "core/CalendarMath.h"

#include <QColor>
#include <QWidget>
#include <array>

class QComboBox;
class QLabel;

// The month calendar beside the day's page: six weeks of day labels, Sunday
// first, under the month and year lists. The arrow and page keys move the
// selection, scrolling by weeks at the edges, without changing the page; the
// lists move it to another month or year once Tab leaves them. Enter, Space,
// Tab or a click on a day choose it: dateActivated asks for its page, and
// whoever shows the page answers with markChosen() or returnTo().
class MonthCalendar : public QWidget
{
    Q_OBJECT
public:
    // The selected day while the calendar has the focus, and the day chosen.
    static inline const QColor SelectionColour = QColor(192, 192, 192);
    static inline const QColor ChosenColour = QColor(0, 255, 255);

    explicit MonthCalendar(QWidget* parent = nullptr);

    // Shows the six weeks around date, date selected.
    void showMonthOf(const QDate& date);
    // Marks date, one of the dates shown, as the day chosen.
    void markChosen(const QDate& date);
    // After a day change that did not happen: date, the day still shown, is
    // chosen again and the calendar has the focus, ready for another try.
    void returnTo(const QDate& date);
    // The month and year lists show date's month and year.
    void showListsFor(const QDate& date);
    // Chooses the day of a label, as a click on it does.
    void activateDay(int index);

    const CalendarMath::Dates& dates() const { return m_dates; }
    int selectedIndex() const { return m_selectedIndex; }
    QComboBox* monthList() const { return m_monthList; }
    QComboBox* yearList() const { return m_yearList; }

signals:
    void dateActivated(const QDate& date);
    // A click on the calendar away from its days.
    void pressed();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintDayLabel(int index, const QColor& colour);
    void numberDayLabels();
    void fill(const QDate& date);
    bool keyPressed(int key);
    void commitMonthYear();

    CalendarMath::Dates m_dates {};
    int m_selectedIndex = 0;
    std::array<QLabel*, CalendarMath::LabelCount> m_dayLabels {};
    QComboBox* m_monthList = nullptr;
    QComboBox* m_yearList = nullptr;
};
