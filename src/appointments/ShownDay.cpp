#include "appointments/ShownDay.h"

#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QPointer>
#include <QTimer>

ShownDay::ShownDay(Database& db, QObject* parent)
    : QObject(parent)
    , m_db(db)
{
}

ShownDay::Screen ShownDay::screen() const
{
    return m_screen ? m_screen() : Screen {DayMerge::contentOf(m_record), m_storedFixedMemo};
}

Result ShownDay::readSettings()
{
    Settings settings;
    const Result read = SettingsStore(m_db).read(settings);
    if (!read.ok())
        return read;
    m_settings = settings;
    m_storedFixedMemo = settings.fixedMemo;
    return read;
}

void ShownDay::useDefaultSettings()
{
    m_settings = Settings::defaults();
    m_storedFixedMemo = m_settings.fixedMemo;
}

Result ShownDay::open(const QDate& date)
{
    // New records copy the settings as they are now, and the day is laid out
    // from them too.
    Settings current;
    Result r = SettingsStore(m_db).read(current);
    if (!r.ok())
        return r;
    // A record made now takes the empty page of its layout when it is the
    // first day shown in that layout.
    const DayLayout newLayout = DayLayout::fromSettings(current);
    DayRecord record;
    bool created = false;
    r = DayStore(m_db).open(
        date, current, record, created, newLayout == m_layout ? QString() : newLayout.emptyPageText);
    if (!r.ok())
        return r;
    m_settings = current;
    m_record = record;
    m_haveRecord = true;
    m_editing = false;

    // The day's text is placed where it belongs: a change of the practice's
    // layout never drops or moves a booking (the day then keeps the layout
    // its text was stored in).
    const DayPlacement::Placement placed = DayPlacement::place(date, Clock::today(), m_record, m_settings);
    // The record as read, in the layout it is shown in: the base of the next
    // save and of merging other desks' changes.
    m_record.pageText = placed.pageText;
    DayPlacement::describeLayout(m_record, placed.layout);
    m_layout = placed.layout;
    return r;
}

DayRecord ShownDay::shownRecord(const DayMerge::Content& shown) const
{
    DayRecord record = m_record;
    record.pageText = shown.pageText;
    record.memo = shown.memo;
    record.closed = shown.closed;
    // The copies always describe the layout the page is stored in.
    DayPlacement::describeLayout(record, m_layout);
    return record;
}

QString ShownDay::storedCell(int row, int column) const
{
    const PageText::Cells cells = PageText::split(m_record.pageText);
    if (row >= 1 && column >= 1 && row - 1 < cells.size() && column - 1 < cells[row - 1].size())
        return cells[row - 1][column - 1];
    return QString();
}

// The database no longer holds the day: the next commit makes it again.
void ShownDay::forgetStoredRecord()
{
    m_record.id = 0;
    m_record.version = 0;
    m_record.pageText = PageText::cleared(m_record.pageText);
    m_record.memo.clear();
    m_record.closed = false;
}

// The page stays on screen: should the next day fail to open, the day is
// still shown, whole, and what is typed there goes into its record (made
// again when it was deleted).
Result ShownDay::save()
{
    if (!m_haveRecord)
        return Result::success();
    DayRecord edited = shownRecord(screen().day);
    // A day nobody has written a page into yet gets none for a blank page.
    if (m_record.pageText.isEmpty() && PageText::isBlank(edited.pageText))
        edited.pageText = m_record.pageText;
    const DayStore::SaveOutcome outcome = DayStore(m_db).save(m_record, edited);
    if (!outcome.status.ok())
        return outcome.status;
    if (outcome.deleted) {
        m_record = edited;
        m_record.id = 0;
        m_record.version = 0;
        return outcome.status;
    }
    takeStored(outcome.stored, outcome.merged);
    return outcome.status;
}

Result ShownDay::commit()
{
    if (!m_haveRecord)
        return Result::success();
    DayRecord edited = shownRecord(screen().day);
    if (m_editing) {
        PageText::Cells cells = PageText::split(edited.pageText);
        if (m_editedRow - 1 < cells.size() && m_editedColumn - 1 < cells[m_editedRow - 1].size()) {
            cells[m_editedRow - 1][m_editedColumn - 1] = storedCell(m_editedRow, m_editedColumn);
            edited.pageText = PageText::join(cells);
        }
    }
    // A day nobody has written a page into yet gets none for a blank page.
    if (m_record.pageText.isEmpty() && PageText::isBlank(edited.pageText))
        edited.pageText = m_record.pageText;
    if (DayMerge::contentOf(edited) == DayMerge::contentOf(m_record))
        return Result::success();
    const DayStore::SaveOutcome outcome = DayStore(m_db).save(m_record, edited, DayStore::SaveMode::KeepEmpty);
    if (!outcome.status.ok())
        return outcome.status;
    Screen before {DayMerge::contentOf(m_record), m_storedFixedMemo};
    if (before.day.pageText.isEmpty())
        before.day.pageText = PageText::cleared(edited.pageText);
    // Before the stored record may move the page into another layout.
    emit changeStored(before, {DayMerge::contentOf(edited), m_storedFixedMemo});
    takeStored(outcome.stored, outcome.merged);
    return outcome.status;
}

// What a save stored becomes the base; what another desk had stored
// meanwhile, merged in by the save, is shown.
void ShownDay::takeStored(const DayRecord& stored, bool merged)
{
    followStoredLayout(stored);
    if (merged)
        emit textsMerged(stored.pageText, stored.memo, stored.closed);
    m_record = stored;
}

Result ShownDay::saveFixedMemo()
{
    const QString text = screen().fixedMemo;
    if (text == m_storedFixedMemo)
        return Result::success();
    QString stored;
    const Result saved = SettingsStore(m_db).saveFixedMemo(m_storedFixedMemo, text, stored);
    if (!saved.ok())
        return saved;
    const Screen before {DayMerge::contentOf(m_record), m_storedFixedMemo};
    m_storedFixedMemo = stored;
    if (stored != text)
        emit fixedMemoMerged(stored);
    emit changeStored(before, {before.day, text});
    return saved;
}

void ShownDay::leave()
{
    m_haveRecord = false;
    if (m_poll)
        m_poll->stop();
}

void ShownDay::beginCellEdit(int row, int column)
{
    m_editing = true;
    m_editedRow = row;
    m_editedColumn = column;
    m_editBase = storedCell(row, column);
}

// While the cell was being typed, the stored record may have moved on under
// it; its base is the text it had when the edit began.
QString ShownDay::endCellEdit(const QString& mine)
{
    if (!m_editing)
        return mine;
    m_editing = false;
    return PageText::merge(m_editBase, mine, storedCell(m_editedRow, m_editedColumn));
}

void ShownDay::startPolling()
{
    m_poll = new QTimer(this);
    m_poll->setInterval(PollMillis);
    connect(m_poll, &QTimer::timeout, this, &ShownDay::pollOtherDesks);
    m_poll->start();
    m_replacementsSeen = m_db.replacements();
    // On a server the other desks' commits arrive as notifications: look at
    // once. The timer stays, for a notification that came while a store
    // call was under way (its count is only in memory, so cheap).
    if (m_db.isServer()) {
        QPointer<ShownDay> self(this);
        m_db.onChangedElsewhere = [self] {
            if (self)
                QTimer::singleShot(0, self.data(), &ShownDay::pollOtherDesks);
        };
    }
}

void ShownDay::checkWholeFileLater()
{
    Database::checkWholeFileLater(m_db.path(), this, [this](const Result& checked) {
        if (checked.ok())
            return;
        const QString& why = checked.message;
        // SQLite's account of the damage (pages, error codes) says nothing
        // to the person at the desk.
        const QString damaged = QStringLiteral("is damaged");
        const qsizetype at = why.indexOf(damaged);
        emit fileDamaged((at < 0 ? why : why.left(at + damaged.size()))
            + QStringLiteral(". Bookings stored in its damaged parts may be missing or wrong. Restore the last "
                             "good back-up: Back-up/Restore files in the main menu."));
    });
}

// Cheap enough for a timer: the database's data version tells whether anyone
// else has committed since the last look; only then is the day read again. A
// busy database is simply looked at again on the next turn.
void ShownDay::pollOtherDesks()
{
    if (isBusy() || !m_haveRecord)
        return;
    if (!followRestore(false).ok())
        return;
    const std::optional<qint64> version = m_db.dataVersion();
    if (!version || version == m_dataVersion)
        return;
    std::optional<DayRecord> day;
    QString fixedMemo;
    if (!DayStore(m_db).findOnce(m_record.calDate, day).ok() || !SettingsStore(m_db).readFixedMemoOnce(fixedMemo).ok())
        return;
    m_dataVersion = version;
    takeOtherDesksDay(day);
    takeOtherDesksFixedMemo(fixedMemo);
}

// The same merge as a save, with the record as read as the base, the page as
// shown as mine and the stored record as theirs. Afterwards the stored record
// is the base of the next save.
void ShownDay::takeOtherDesksDay(const std::optional<DayRecord>& storedAsRead)
{
    // Another desk may keep the day in another layout; its text is compared
    // and merged in the one shown here.
    std::optional<DayRecord> stored = storedAsRead;
    if (stored)
        stored = inShownLayout(*stored);
    if (DayMerge::unchangedSince(m_record, stored)) {
        m_record = *stored;
        return;
    }
    if (!stored && m_record.id == 0)
        return; // already known to be gone
    const DayMerge::Content merged = DayMerge::merge(m_record, screen().day, stored);
    emit textsMerged(merged.pageText, merged.memo, merged.closed);
    if (stored)
        m_record = *stored;
    else
        forgetStoredRecord();
}

void ShownDay::takeOtherDesksFixedMemo(const QString& stored)
{
    if (stored == m_storedFixedMemo)
        return;
    const QString mine = screen().fixedMemo;
    const QString merged = PageText::mergeMemo(m_storedFixedMemo, mine, stored);
    if (merged != mine)
        emit fixedMemoMerged(merged);
    m_storedFixedMemo = stored;
}

Result ShownDay::followRestore()
{
    return followRestore(true);
}

// Ok once the day is read from the database a restore elsewhere put in place
// (at once when there was none); wait retries a busy database as a save
// does, else it is looked at again on the next poll.
Result ShownDay::followRestore(bool wait)
{
    if (!m_haveRecord)
        return Result::success();
    // A file that could not be followed is not the one this connection has
    // open: the day is read from it before anything is stored, and that read
    // reports the failure.
    const Result followed = m_db.followReplacedFile();
    if (followed.ok() && m_db.replacements() == m_replacementsSeen)
        return followed;
    return takeRestoredDay(wait);
}

// The restored record becomes the base as it is, never merged with the
// replaced one: its texts differ in ways no desk typed, and its id and
// Version may be lower than the base's. Only what is being typed right now
// stays, the open cell and a memo pad not yet stored, and goes into the
// restored database with its next commit.
Result ShownDay::takeRestoredDay(bool wait)
{
    const qint64 replacements = m_db.replacements();
    std::optional<DayRecord> day;
    QString fixedMemo;
    Result read = wait ? DayStore(m_db).find(m_record.calDate, day) : DayStore(m_db).findOnce(m_record.calDate, day);
    if (read.ok() && !wait) {
        read = SettingsStore(m_db).readFixedMemoOnce(fixedMemo);
    } else if (read.ok()) {
        Settings settings;
        read = SettingsStore(m_db).read(settings);
        fixedMemo = settings.fixedMemo;
    }
    if (!read.ok())
        return read;
    m_replacementsSeen = replacements;
    m_dataVersion = m_db.dataVersion();

    const Screen shown = screen();
    const bool memoTyped = shown.day.memo != m_record.memo;
    const bool fixedMemoTyped = shown.fixedMemo != m_storedFixedMemo;
    if (day)
        m_record = inShownLayout(*day);
    else
        forgetStoredRecord(); // the restored database has no record of the day
    emit textsMerged(m_record.pageText, memoTyped ? shown.day.memo : m_record.memo, m_record.closed);
    if (m_editing)
        m_editBase = storedCell(m_editedRow, m_editedColumn);
    m_storedFixedMemo = fixedMemo;
    if (!fixedMemoTyped && shown.fixedMemo != fixedMemo)
        emit fixedMemoMerged(fixedMemo);
    return read;
}

// A stored record as the page shows it: its text moved into the shown layout,
// or the page moved into the record's when the record's text has no place in
// the shown one.
DayRecord ShownDay::inShownLayout(const DayRecord& stored)
{
    const DayRecord moved = DayPlacement::inLayout(stored, m_layout);
    if (DayPlacement::layoutOf(moved) == m_layout || !followStoredLayout(stored))
        return moved;
    return DayPlacement::inLayout(stored, m_layout);
}

// Another desk stored the day in a layout that holds text this page has no
// place for: the page moves into that layout, rows by time, the cell being
// typed with it. False when the layouts are the same or the page would not
// fit (then the merge goes by position and keeps every text).
bool ShownDay::followStoredLayout(const DayRecord& stored)
{
    const DayLayout to = DayPlacement::layoutOf(stored);
    if (to == m_layout)
        return false;
    const std::optional<QString> page = DayPlacement::movePage(screen().day.pageText, m_layout, to);
    const int editedRow = m_editing ? DayPlacement::rowFor(m_editedRow, m_layout, to) : 0;
    const DayRecord base = DayPlacement::inLayout(m_record, to);
    if (!page || (m_editing && editedRow == 0) || !(DayPlacement::layoutOf(base) == to))
        return false;
    m_record = base;
    m_layout = to;
    if (m_editing)
        m_editedRow = editedRow;
    emit layoutFollowed(*page);
    return true;
}
