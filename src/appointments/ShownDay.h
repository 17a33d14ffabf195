#pragma once

#include "core/DayLayout.h"
#include "core/DayMerge.h"
#include "core/DayRecord.h"
#include "core/Result.h"
#include "core/Settings.h"

#include <QDate>
#include <QObject>
#include <QScopedValueRollback>
#include <functional>
#include <optional>

class Database;
class QTimer;

// The day the appointment window shows, as the database sees it: its record
// and layout, its saves and commits, and what other desks sharing the
// database do to it meanwhile. Several desks on one database: each commit
// stores the day at once, and the other desks' saves are merged into the page
// while it is shown, the same way a save merges them (DayMerge). A back-up
// restored elsewhere is followed: its record becomes the base as it is.
//
// Operations that use the database return a Result and, open() aside, change
// nothing when it is not Ok, so that the caller can ask whether to try again.
// What the page should show afterwards comes as signals.
class ShownDay : public QObject
{
    Q_OBJECT
public:
    // What the window shows of the day right now: the texts as on screen and
    // the fixed memo pad. Read whenever the day is stored or merged.
    struct Screen
    {
        DayMerge::Content day;
        QString fixedMemo;
    };

    // How often the database is looked at for what other desks saved.
    static constexpr int PollMillis = 500;

    explicit ShownDay(Database& db, QObject* parent = nullptr);

    // Where the shown texts are read; without one the record's own are.
    void setScreen(std::function<Screen()> screen) { m_screen = std::move(screen); }
    Screen screen() const;

    // Held while a caller runs operations of this day and asks its retry
    // question: both let timers run, and the poll waits until it is over.
    class StoreCall
    {
    public:
        explicit StoreCall(ShownDay& day)
            : m_calls(day.m_storeCalls, day.m_storeCalls + 1)
        {
        }

    private:
        QScopedValueRollback<int> m_calls;
    };
    bool isBusy() const { return m_storeCalls > 0; }

    // The settings as stored (location, fixed memo), or the defaults when
    // they cannot be read.
    Result readSettings();
    void useDefaultSettings();
    const Settings& settings() const { return m_settings; }
    const QString& storedFixedMemo() const { return m_storedFixedMemo; }

    // Opens the record of date, made with copies of the settings as they are
    // now when missing, and lays the day out (DayPlacement). A record made
    // just now takes the empty page of a layout it is the first day shown in.
    Result open(const QDate& date);
    // Stores the day as on screen for leaving it: an open day that is wholly
    // empty is deleted.
    Result save();
    // Stores the day as on screen while it stays shown, except the cell
    // being typed, and keeps the record even when empty.
    Result commit();
    Result saveFixedMemo();
    // Reads the day again from a database another desk restored a back-up
    // into, when that happened.
    Result followRestore();
    // The window no longer shows the day: nothing is stored or merged.
    void leave();

    // Looks at the database for other desks' saves every PollMillis and, on
    // a server, at once when one is announced.
    void startPolling();
    // Reads the whole database file in the background; fileDamaged tells
    // what is wrong with it.
    void checkWholeFileLater();

    bool hasRecord() const { return m_haveRecord; }
    bool shows(const QDate& date) const { return m_haveRecord && date == this->date(); }
    QDate date() const { return m_record.calDate; }
    // The shown day as read from the database, in the layout it is shown in.
    const DayRecord& record() const { return m_record; }
    const DayLayout& layout() const { return m_layout; }

    // The cell being typed on screen: it goes into a commit only once its
    // edit ends, merged with what was stored meanwhile; a restore or a
    // change of layout carries it along.
    void beginCellEdit(int row, int column);
    // Ends the edit of the cell, which shows mine: the text it is to show.
    QString endCellEdit(const QString& mine);
    bool isEditing() const { return m_editing; }
    int editedRow() const { return m_editedRow; }
    int editedColumn() const { return m_editedColumn; }

signals:
    // The page should show these texts now, the cell being typed excepted.
    void textsMerged(const QString& pageText, const QString& memo, bool closed);
    void fixedMemoMerged(const QString& text);
    // A commit or a save of the fixed memo stored what this desk changed:
    // the day as stored before it and as this desk asked it to be.
    void changeStored(const ShownDay::Screen& before, const ShownDay::Screen& after);
    // The day moved into another layout(), rows by their time; the page
    // shown reads pageText there.
    void layoutFollowed(const QString& pageText);
    void fileDamaged(const QString& message);

private:
    DayRecord shownRecord(const DayMerge::Content& shown) const;
    QString storedCell(int row, int column) const;
    void forgetStoredRecord();
    void takeStored(const DayRecord& stored, bool merged);
    void pollOtherDesks();
    void takeOtherDesksDay(const std::optional<DayRecord>& storedAsRead);
    void takeOtherDesksFixedMemo(const QString& stored);
    Result followRestore(bool wait);
    Result takeRestoredDay(bool wait);
    DayRecord inShownLayout(const DayRecord& stored);
    bool followStoredLayout(const DayRecord& stored);

    Database& m_db;
    std::function<Screen()> m_screen;
    int m_storeCalls = 0;
    Settings m_settings = Settings::defaults();
    QString m_storedFixedMemo = m_settings.fixedMemo;
    DayRecord m_record;
    DayLayout m_layout;
    bool m_haveRecord = false;
    bool m_editing = false;
    int m_editedRow = 0;
    int m_editedColumn = 0;
    QString m_editBase; // the edited cell as stored when its edit began
    QTimer* m_poll = nullptr;
    std::optional<qint64> m_dataVersion; // of the database when last looked at
    qint64 m_replacementsSeen = 0; // Database::replacements() when the day was read
};
