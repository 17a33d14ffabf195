#pragma once

#include "appointments/AppointmentSearch.h"
#include "appointments/CalendarMath.h"
#include "appointments/DayLayout.h"
#include "store/DayRecord.h"
#include "store/Settings.h"

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
    bool OpenDayRecord(const QDate& date);
    bool SaveDayRecord();
    void ApplyDayLayout();
    void ShowDayRecord();
    bool changeDay(const QDate& date);

    QDate currentDate() const { return m_currentDate; }
    const DayLayout& layout() const { return m_layout; }
    const DayRecord& currentRecord() const { return m_record; }
    bool layoutFromRecord() const { return m_layoutFromRecord; }
    DayGrid* grid() const { return m_grid; }
    // The page text of the whole page as the grid shows it.
    QString pageText() const;
    // The shown day as it would be stored now.
    DayRecord shownRecord() const;

    void cmdToday_Click();
    void CmdExit_Click();
    void cmdMemo_Click();

    // Find: Ctrl+F or the Find button opens the panel over the page; a chosen
    // appointment's day opens like a calendar click, its slot current.
    void cmdFind_Click();
    bool showFoundAppointment(const AppointmentSearch::Match& match);
    FindPanel* findPanel() const { return m_findPanel; }

    // Calendar.
    void FillCalendar(const QDate& date);
    void SyncMonthYearBoxes(const QDate& date);
    void LblDay_Click(int index);
    const CalendarMath::Dates& calDates() const { return m_calDates; }
    int calSelIndex() const { return m_calSelIndex; }
    QLabel* dayLabel(int index) const { return m_lblDay[size_t(index)]; }

    int editRow() const { return m_editRow; }
    int editCol() const { return m_editCol; }

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
    void BuildProviderColumns(int columnCount, const QStringList& names);
    bool BuildTimeRows(const DayLayout& layout);
    void applyLayout(const DayLayout& layout);
    void selectWholePage();
    void setPageColours(bool closed);
    void setHeadings();
    bool saveFixedMemo();
    bool readSettings();
    bool saveForLeaving();

    void Grid1_KeyPress(QChar ch, bool* clear);
    void txtEdit_Change(const QString& text);
    void hideEditor();
    void placeEditor();
    void paintLabel(int index, const QColor& colour);
    void paintCalendar();
    void selectShownDay();
    void Picture2_Click();
    bool Picture2_KeyDown(int key, Qt::KeyboardModifiers mods);
    void commitMonthYear();
    void Combo_KeyDown(int index);
    void Form_KeyDown(int key, Qt::KeyboardModifiers mods);
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
    int m_editRow = 0; // EditRow
    int m_editCol = 0; // EditCol
    CalendarMath::Dates m_calDates {}; // CalDates
    int m_calSelIndex = 0; // CalSelIndex
    std::array<QLabel*, CalendarMath::LabelCount> m_lblDay {};

    DayGrid* m_grid = nullptr;
    QLineEdit* m_edit = nullptr; // txtEdit
    QLabel* m_lblCalDay = nullptr;
    QLabel* m_lblCalDate = nullptr;
    std::array<QComboBox*, 3> m_combo {}; // Combo(0) open/closed, (1) month, (2) year
    QCheckBox* m_check1 = nullptr;
    QPlainTextEdit* m_txtMemo = nullptr;
    QPlainTextEdit* m_txtFixedMemo = nullptr;
    QPushButton* m_cmdToday = nullptr;
    QPushButton* m_cmdExit = nullptr;
    QPushButton* m_cmdPrint = nullptr;
    QPushButton* m_cmdMemo = nullptr;
    QPushButton* m_cmdFind = nullptr;
    FindPanel* m_findPanel = nullptr;
    QFrame* m_frame1 = nullptr;
    QWidget* m_picture2 = nullptr;
    QLabel* m_lblDailyMemo = nullptr;
    QLabel* m_lblAltD = nullptr;
    QLabel* m_lblFixedMemo = nullptr;
    QLabel* m_lblAltF = nullptr;
    QLabel* m_lblCommandMemo = nullptr;
    QLabel* m_label5 = nullptr; // help text
    QLabel* m_label7 = nullptr; // "Press F1 for Help"

    QTimer* m_deskPoll = nullptr;
    QTimer* m_memoPause = nullptr;
    std::optional<qint64> m_dataVersion; // of the file when last looked at
    bool m_editing = false; // txtEdit is open on (EditRow, EditCol)
    QString m_editBase; // that cell as stored when the edit began
    bool m_showingMerged = false;
    qint64 m_replacementsSeen = 0; // m_db.replacements() when the shown day was read
};
