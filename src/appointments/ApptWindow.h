#pragma once

#include "appointments/AppointmentSearch.h"
#include "appointments/ShownDay.h"
#include "store/ChangeHistory.h"

#include <QColor>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class CellEditor;
class Database;
class DayEditHistory;
class DayGrid;
class DayStatusBar;
class FindPanel;
class HistoryPanel;
class MemoPads;
class MonthCalendar;
class WindowHost;

// The appointment window: one day's page of slots, the month calendar beside
// it, the open/closed selector and the two memo pads. The day itself, its
// saves and what other desks do to it, is the ShownDay's; the window shows
// it, lets it be typed into and asks whether to retry what failed.
class ApptWindow : public QWidget
{
    Q_OBJECT
public:
    // The colour of a closed day's page. There is no desktop colour on every
    // platform, so it is a fixed one.
    static inline const QColor ClosedDayColour = QColor(0, 128, 128);

    ApptWindow(Database& db, WindowHost& host, QWidget* parent = nullptr);
    ~ApptWindow() override;

    // Saves the shown day, then opens date. False when either failed and the
    // user chose not to retry; the shown day then stays on screen with every
    // edit in it.
    bool changeDay(const QDate& date);
    void goToToday();
    void exitToMenu();
    void toggleMemoPads();
    // Find: Ctrl+F or the Find button opens the panel over the page; a chosen
    // appointment's day opens like a calendar click, its slot current.
    void openFind();
    bool showFoundAppointment(const AppointmentSearch::Match& match);
    // History: Ctrl+H (or the History button) lists the current slot's
    // stored changes, Ctrl+Shift+H the whole day's; Enter on one puts back
    // the text it replaced, as a new change.
    void openHistory(bool ofSlot);

    QDate currentDate() const { return m_day.date(); }
    const DayLayout& layout() const { return m_day.layout(); }
    const DayRecord& currentRecord() const { return m_day.record(); }
    DayGrid* grid() const { return m_dayGrid; }
    MonthCalendar* calendar() const { return m_calendar; }
    FindPanel* findPanel() const { return m_findPanel; }
    HistoryPanel* historyPanel() const { return m_historyPanel; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildShortcuts();
    [[nodiscard]] bool retry(const std::function<Result()>& step);
    bool openDay(const QDate& date);
    void showDay();
    void setPageColours(bool closed);
    bool saveShownDay();
    bool saveFixedMemo();
    bool saveForLeaving();
    bool commitDay();
    bool followRestore();
    bool goToDay(const QDate& date);
    void openCalendarDate(const QDate& date);
    void chooseOpenClosed(bool closed);
    void showMemoPad(bool fixed);
    void memoPaused();
    bool storePage();
    void clearCurrentSlot();
    void showScreen(const ShownDay::Screen& shown);
    void putBack(const ChangeEntry& entry);

    void gridCharTyped(QChar ch, bool* clear);
    void hideCellEditor();
    void endCellEdit();
    void showMerged(const QString& page, const QString& memo, bool closed);
    void followLayout(const QString& page);

    Database& m_db;
    WindowHost& m_host;
    ShownDay m_day;
    bool m_leftSaved = false;

    DayGrid* m_dayGrid = nullptr;
    CellEditor* m_cellEditor = nullptr;
    MonthCalendar* m_calendar = nullptr;
    MemoPads* m_memoPads = nullptr;
    FindPanel* m_findPanel = nullptr;
    HistoryPanel* m_historyPanel = nullptr;
    DayStatusBar* m_statusBar = nullptr;
    QPushButton* m_todayButton = nullptr;
    QPushButton* m_memoButton = nullptr;
    QLabel* m_memoButtonHint = nullptr;
    DayEditHistory* m_history = nullptr;
};
