#pragma once

class DayGrid;
class DayStatusBar;
class HelpLine;
class MemoPads;
class MonthCalendar;
class QLabel;
class QPushButton;
class QWidget;

// Where the appointment window's controls go. The page and its foot on the
// left take whatever room the screen gives; the calendar, its buttons and the
// memo pads keep their designed width on the right, the pads as tall as the
// page. Spacing as designed, in twips.
namespace ApptWindowLayout {
struct Controls
{
    DayStatusBar* statusBar;
    DayGrid* page;
    MonthCalendar* calendar;
    QPushButton* today;
    QPushButton* find;
    QPushButton* history;
    MemoPads* memoPads;
    HelpLine* help;
    QPushButton* memo;
    QLabel* memoHint;
    QPushButton* print;
    QPushButton* exit;
};

// Lays the controls out in window, adding the key hints above the buttons
// and the calendar's lists.
void layOut(QWidget* window, const Controls& controls);
} // namespace ApptWindowLayout
