#pragma once

#include "appointments/AppointmentSearch.h"
#include "core/CalendarMath.h"
#include "core/DayLayout.h"
#include "core/DayRecord.h"
#include "core/Settings.h"

#include <QDate>
#include <QWidget>
#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class DayGrid;
class FindPanel;
class Database;

// The appointment window: one day's page of slots, the month calendar beside
// it, the open/closed selector and the two memo pads.
class ApptWindow : public QWidget
{
    Q_OBJECT
public:
    // The colour of a closed day's page. There is no desktop colour on every
    // platform, so it is a fixed one.
    static inline const QColor ClosedDayColour = QColor(0, 128, 128);

    explicit ApptWindow(QWidget* parent = nullptr);
    ~ApptWindow() override;

    // Day changes, as the calendar, Today and the keyboard use them. Each
    // returns false when a save failed and the user chose not to retry; the
    // shown day then stays on screen with every edit in it.
    bool openDay(const QDate& date);
    bool saveShownDay();
    void layOutShownDay();
    void showDay();
    bool changeDay(const QDate& date);

    QDate currentDate() const { return m_currentDate; }
    const DayLayout& layout() const { return m_layout; }
    const DayRecord& currentRecord() const { return m_record; }
    bool layoutFromRecord() const { return m_layoutFromRecord; }
    DayGrid* grid() const { return m_dayGrid; }
    // The page text of the whole page as the grid shows it.
    QString pageText() const;
    // The shown day as it would be stored now.
    DayRecord shownRecord() const;

    void goToToday();
    void exitToMenu();
    void toggleMemoPads();

    // Find: Ctrl+F or the Find button opens the panel over the page; a chosen
    // appointment's day opens like a calendar click, its slot current.
    void openFind();
    bool showFoundAppointment(const AppointmentSearch::Match& match);
    FindPanel* findPanel() const { return m_findPanel; }

    // Calendar.
    void fillCalendar(const QDate& date);
    void syncMonthYearLists(const QDate& date);
    void activateCalendarDay(int index);
    const CalendarMath::Dates& calendarDates() const { return m_calendarDates; }
    int selectedDayIndex() const { return m_selectedDayIndex; }
    QLabel* dayLabel(int index) const { return m_dayLabels[size_t(index)]; }

    int editedRow() const { return m_editedRow; }
    int editedCol() const { return m_editedCol; }

    // Several desks on one file: how often the window looks for what another
    // copy saved, and how long a memo pad waits after the last keystroke
    // before its text is stored.
    static constexpr int DeskPollMillis = 500;
    static constexpr int MemoPauseMillis = 2000;

    // The cell editor's and other controls' fixed colours.
    static inline const QColor CalendarGrey = QColor(192, 192, 192);
    static inline const QColor CalendarCyan = QColor(0, 255, 255);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildShortcuts();
    void buildProviderColumns(int columnCount, const QStringList& names);
    bool buildTimeRows(const DayLayout& layout);
    void applyLayout(const DayLayout& layout);
    void selectWholePage();
    void setPageColours(bool closed);
    void setHeadings();
    bool saveFixedMemo();
    bool readSettings();
    bool saveForLeaving();

    void gridCharTyped(QChar ch, bool* clear);
    void cellEditorChanged(const QString& text);
    void hideCellEditor();
    void placeCellEditor();
    void paintDayLabel(int index, const QColor& colour);
    void numberDayLabels();
    void selectShownDay();
    void calendarClicked();
    bool calendarKeyPressed(int key, Qt::KeyboardModifiers mods);
    void commitMonthYear();
    void comboTabPressed(QComboBox* combo);
    void windowKeyPressed(int key, Qt::KeyboardModifiers mods);
    void showFixedPad();
    void showDailyPad();
    void setHelpShown(bool shown);

    // Several desks on one file: each commit stores the day at once, and the
    // other copies' saves are merged into the page while it is shown.
    void startDesks();
    void reportDamagedFile(const QString& why);
    bool commitDay();
    void endCellEdit();
    void settleEditCell();
    QString recordCell(int row, int col) const;
    void pollOtherDesks();
    void takeOtherDesksDay(const std::optional<DayRecord>& storedAsRead);
    void takeOtherDesksFixedMemo(const QString& stored);
    bool followStoredLayout(const DayRecord& stored);
    DayRecord inShownLayout(const DayRecord& stored);
    void showMerged(const QString& page, const QString& memo, bool closed);
    void setPadText(QPlainTextEdit* pad, const QString& text);
    void memoTyped(QPlainTextEdit* pad);
    void memoPaused();
    // Another desk restored a back-up over the database.
    bool followRestore(bool wait);
    bool takeRestoredDay(bool wait);

    Database& m_db;
    Settings m_settings;
    DayLayout m_layout;
    DayRecord m_record; // the shown day as read from the database
    QDate m_currentDate;
    bool m_layoutFromRecord = false;
    bool m_newRecordAdded = false;
    bool m_haveRecord = false;
    bool m_leftSaved = false;
    QString m_storedFixedMemo;
    QString m_openCaption;
    QString m_closedCaption;
    // The cell the cell editor is open on, in grid indices.
    int m_editedRow = 0;
    int m_editedCol = 0;
    // The dates the calendar's day labels show, and the selected label.
    CalendarMath::Dates m_calendarDates {};
    int m_selectedDayIndex = 0;
    std::array<QLabel*, CalendarMath::LabelCount> m_dayLabels {};

    DayGrid* m_dayGrid = nullptr;
    QLineEdit* m_cellEditor = nullptr;
    QLabel* m_shownWeekday = nullptr;
    QLabel* m_shownDate = nullptr;
    QComboBox* m_openClosedCombo = nullptr;
    QComboBox* m_monthCombo = nullptr;
    QComboBox* m_yearCombo = nullptr;
    QCheckBox* m_closedCheck = nullptr;
    QPlainTextEdit* m_dailyMemoEdit = nullptr;
    QPlainTextEdit* m_fixedMemoEdit = nullptr;
    QPushButton* m_todayButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_printButton = nullptr;
    QPushButton* m_memoButton = nullptr;
    QPushButton* m_findButton = nullptr;
    FindPanel* m_findPanel = nullptr;
    QFrame* m_calendarFrame = nullptr;
    QWidget* m_monthCalendar = nullptr;
    QLabel* m_dailyMemoTitle = nullptr;
    QLabel* m_dailyMemoHint = nullptr;
    QLabel* m_fixedMemoTitle = nullptr;
    QLabel* m_fixedMemoHint = nullptr;
    QLabel* m_memoButtonHint = nullptr;
    QLabel* m_helpText = nullptr;
    QLabel* m_helpHint = nullptr; // "Press F1 for Help", while the help text is hidden

    QTimer* m_deskPoll = nullptr;
    QTimer* m_memoPause = nullptr;
    std::optional<qint64> m_dataVersion; // of the file when last looked at
    bool m_editing = false; // the cell editor is open on (m_editedRow, m_editedCol)
    QString m_editBase; // that cell as stored when the edit began
    bool m_showingMerged = false;
    qint64 m_replacementsSeen = 0; // m_db.replacements() when the shown day was read
};
