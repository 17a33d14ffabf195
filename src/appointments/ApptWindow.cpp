#include "appointments/ApptWindow.h"

#include "appointments/ApptWindowLayout.h"
#include "appointments/CalendarFolder.h"
#include "appointments/CellEditor.h"
#include "appointments/DayEditHistory.h"
#include "appointments/DayGrid.h"
#include "appointments/DayListPrinting.h"
#include "appointments/DayStatusBar.h"
#include "appointments/FindPanel.h"
#include "appointments/HelpLine.h"
#include "appointments/HistoryPanel.h"
#include "appointments/MemoPads.h"
#include "appointments/MonthCalendar.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "ui/WindowHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

namespace {
QFont arial(int points, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, const QSize& twips)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFixedSize(Twips::size(twips.width(), twips.height()));
    return b;
}
} // namespace

ApptWindow::ApptWindow(Database& db, WindowHost& host, QWidget* parent)
    : QWidget(parent)
    , m_db(db)
    , m_host(host)
    , m_day(db)
{
    setObjectName(QStringLiteral("appointmentWindow"));
    setWindowTitle(QStringLiteral("Appointments"));
    buildControls();

    // The window fills the screen it opens on, less what the desktop keeps
    // for itself; the page grows with it.
    setWindowState(Qt::WindowMaximized);

    if (!retry([this] { return m_day.readSettings(); }))
        m_day.useDefaultSettings();
    m_statusBar->setLocation(m_day.settings().location);
    m_memoPads->fixedPad()->setPlainText(m_day.storedFixedMemo());

    m_day.setScreen([this] {
        return ShownDay::Screen {
            {m_dayGrid->pageText(), m_memoPads->dailyPad()->toPlainText(), m_statusBar->isClosed()},
            m_memoPads->fixedPad()->toPlainText()};
    });
    connect(&m_day, &ShownDay::textsMerged, this, &ApptWindow::showMerged);
    m_history = new DayEditHistory(this, m_day, m_cellEditor, m_memoPads->dailyPad(), m_memoPads->fixedPad(),
        {[this] { return storePage(); }, [this](const ShownDay::Screen& shown) { showScreen(shown); }});
    connect(m_historyPanel, &HistoryPanel::entryChosen, this, &ApptWindow::putBack);
    connect(m_dayGrid, &DayGrid::deletePressed, this, &ApptWindow::clearCurrentSlot);
    connect(&m_day, &ShownDay::fixedMemoMerged, this,
        [this](const QString& text) { m_memoPads->mergeText(m_memoPads->fixedPad(), text); });
    connect(&m_day, &ShownDay::layoutFollowed, this, &ApptWindow::followLayout);
    connect(&m_day, &ShownDay::fileDamaged, this, [this](const QString& message) {
        Dialogs::message(this, message, Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Critical);
    });
    // Providers' calendar files kept current, where a folder is chosen:
    // after this desk's saves and the other desks' changes it shows, and once
    // on opening.
    auto* calendars = new CalendarFolder(db, QString(), this);
    connect(&m_day, &ShownDay::changeStored, calendars, &CalendarFolder::changed);
    connect(&m_day, &ShownDay::textsMerged, calendars, &CalendarFolder::changed);
    calendars->changed();

    const QDate today = Clock::today();
    m_calendar->showMonthOf(today);
    if (!openDay(today)) {
        // Without a record there is nothing to show or save into.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    m_day.startPolling();
    connect(m_memoPads, &MemoPads::typingPaused, this, &ApptWindow::memoPaused);
    // The whole file is read once in the background: damage shows at once,
    // with the way out, instead of on some later day or save.
    m_day.checkWholeFileLater();
    // Ready to type: the first slot of the day has the focus.
    m_dayGrid->setCurrentCell(2, 1);
    m_dayGrid->setFocus();
}

ApptWindow::~ApptWindow() = default;

void ApptWindow::buildControls()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(pal);
    setAutoFillBackground(true);

    m_statusBar = new DayStatusBar(this);
    connect(m_statusBar, &DayStatusBar::closedChosen, this, &ApptWindow::chooseOpenClosed);

    m_dayGrid = new DayGrid(this);
    m_dayGrid->setObjectName(QStringLiteral("dayGrid"));
    m_dayGrid->setFont(arial(8, true));
    m_dayGrid->horizontalHeader()->setFont(arial(8, true));
    m_dayGrid->verticalHeader()->setFont(arial(8, true));
    connect(m_dayGrid, &DayGrid::charTyped, this, &ApptWindow::gridCharTyped);
    connect(m_dayGrid, &DayGrid::scrolled, this, &ApptWindow::hideCellEditor);

    m_cellEditor = new CellEditor(m_dayGrid, m_day, this);
    m_cellEditor->setFont(arial(8, true));
    connect(m_cellEditor, &CellEditor::finished, this, [this](bool byTab) {
        hideCellEditor();
        if (byTab)
            m_calendar->setFocus();
        else
            m_dayGrid->setFocus();
    });

    m_calendar = new MonthCalendar(this);
    connect(m_calendar, &MonthCalendar::dateActivated, this, &ApptWindow::openCalendarDate);
    connect(m_calendar, &MonthCalendar::pressed, this, &ApptWindow::hideCellEditor);

    m_todayButton = button(this, QStringLiteral("todayButton"), QStringLiteral("Today"), {970, 372});
    m_todayButton->setFont(arial(9, true));
    m_todayButton->setStyleSheet(QStringLiteral("background-color: rgb(128,128,128);"));
    connect(m_todayButton, &QPushButton::clicked, this, &ApptWindow::goToToday);

    auto* findButton = button(this, QStringLiteral("findButton"), QStringLiteral("Find"), {970, 372});
    findButton->setToolTip(QStringLiteral("Finds a client's appointments on every day"));
    // A click leaves the focus where it was, so Esc in the panel returns there.
    findButton->setFocusPolicy(Qt::NoFocus);
    connect(findButton, &QPushButton::clicked, this, &ApptWindow::openFind);
    auto* historyButton = button(this, QStringLiteral("historyButton"), QStringLiteral("History"), {970, 372});
    historyButton->setToolTip(QStringLiteral("Shows the stored changes of the current slot"));
    historyButton->setFocusPolicy(Qt::NoFocus);
    connect(historyButton, &QPushButton::clicked, this, [this] { openHistory(true); });

    m_memoPads = new MemoPads(this);
    connect(m_memoPads, &MemoPads::tabPressed, m_calendar, qOverload<>(&QWidget::setFocus));

    auto* help = new HelpLine(this);

    m_memoButton = button(this, QStringLiteral("memoButton"), QStringLiteral("Fixed Memo"), {1350, 372});
    m_memoButton->setToolTip(QStringLiteral("Toggles memo pads"));
    connect(m_memoButton, &QPushButton::clicked, this, &ApptWindow::toggleMemoPads);
    m_memoButtonHint = new QLabel(QStringLiteral("Press Alt-F"), this);
    m_memoButtonHint->setObjectName(QStringLiteral("memoButtonHint"));

    auto* printButton = button(this, QStringLiteral("printButton"), QStringLiteral("&Print"), {970, 372});
    printButton->setToolTip(QStringLiteral("Prints appointment lists for individual practitioners"));
    connect(printButton, &QPushButton::clicked, this,
        [this] { DayListPrinting::printDayLists(this, DayListPrinting::sheetFromGrid(*m_dayGrid, m_day.date())); });

    auto* exitButton = button(this, QStringLiteral("exitButton"), QStringLiteral("&Exit"), {996, 500});
    exitButton->setFont(arial(10, true));
    connect(exitButton, &QPushButton::clicked, this, &ApptWindow::exitToMenu);

    ApptWindowLayout::layOut(this,
        {m_statusBar, m_dayGrid, m_calendar, m_todayButton, findButton, historyButton, m_memoPads, help, m_memoButton,
            m_memoButtonHint, printButton, exitButton});

    // The find panel lies over the lower part of the page.
    m_findPanel = new FindPanel(this);
    m_findPanel->setFallbackFocus(m_dayGrid);
    m_findPanel->lieOver(m_dayGrid);
    connect(m_findPanel, &FindPanel::appointmentChosen, this, &ApptWindow::showFoundAppointment);
    m_historyPanel = new HistoryPanel(this);
    m_historyPanel->setFallbackFocus(m_dayGrid);
    m_historyPanel->lieOver(m_dayGrid);

    m_cellEditor->raise();
    buildShortcuts();
}

// The window's keys act wherever the focus is and are consumed, so their
// letter never reaches the text that had the focus. Only exactly the
// modifiers given match.
void ApptWindow::buildShortcuts()
{
    const auto add = [this](const QKeySequence& keys, const std::function<void()>& action) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    // The Alt keys move the focus; a slot being typed is finished where it is
    // before it moves.
    const auto focusKey = [&](Qt::Key key, const std::function<void()>& action) {
        add(QKeySequence(Qt::AltModifier | key), [this, action] {
            hideCellEditor();
            action();
        });
    };
    focusKey(Qt::Key_F, [this] { showMemoPad(true); });
    focusKey(Qt::Key_D, [this] { showMemoPad(false); });
    focusKey(Qt::Key_C, [this] { m_statusBar->selector()->setFocus(); });
    focusKey(Qt::Key_M, [this] { m_calendar->monthList()->setFocus(); });
    focusKey(Qt::Key_Y, [this] { m_calendar->yearList()->setFocus(); });
    focusKey(Qt::Key_H, [this] { openHistory(true); });
    // The find panel keeps Esc for itself (it closes the panel there).
    add(QKeySequence(Qt::Key_Escape), [this] { m_todayButton->click(); });
    add(QKeySequence(Qt::ControlModifier | Qt::Key_F), [this] { openFind(); });
    add(QKeySequence(Qt::ControlModifier | Qt::Key_H), [this] { openHistory(true); });
    add(QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_H), [this] { openHistory(false); });
    add(QKeySequence(Qt::ControlModifier | Qt::Key_P),
        [this] { DayListPrinting::previewDayLists(this, DayListPrinting::sheetFromGrid(*m_dayGrid, m_day.date())); });
}

// Runs a step of the shown day until it succeeds or the user declines to
// retry. Meanwhile the poll for other desks' saves and the memo pause wait.
bool ApptWindow::retry(const std::function<Result()>& step)
{
    const ShownDay::StoreCall call(m_day);
    return Dialogs::retryUntilDone(this, step);
}

bool ApptWindow::openDay(const QDate& date)
{
    if (!retry([&] { return m_day.open(date); }))
        return false;
    m_dayGrid->layOutPage(m_day.layout());
    showDay();
    // The page opens at its left edge; the current slot's row stays.
    m_dayGrid->horizontalScrollBar()->setValue(0);
    m_history->clear();
    return true;
}

void ApptWindow::showDay()
{
    const DayRecord& record = m_day.record();
    const bool closed = m_day.hasRecord() && record.closed;
    const bool written = m_day.hasRecord() && !record.pageText.isEmpty();
    m_dayGrid->putPageText(written ? record.pageText : m_day.layout().emptyPageText);
    setPageColours(closed);
    m_cellEditor->hide();
    m_statusBar->showClosed(closed);
    m_memoPads->dailyPad()->setPlainText(m_day.hasRecord() ? record.memo : QString());
    m_statusBar->showDate(m_day.date());
}

void ApptWindow::setPageColours(bool closed)
{
    m_dayGrid->setCellBackground(closed ? ClosedDayColour : QColor(Qt::white));
}

bool ApptWindow::changeDay(const QDate& date)
{
    return saveShownDay() && openDay(date);
}

// Stores the shown day, or deletes it when it is open and wholly empty.
bool ApptWindow::saveShownDay()
{
    if (!followRestore())
        return false;
    m_cellEditor->settle();
    if (!m_day.hasRecord())
        return true;
    return retry([this] { return m_day.save(); }) && saveFixedMemo();
}

bool ApptWindow::saveFixedMemo()
{
    return retry([this] { return m_day.saveFixedMemo(); });
}

bool ApptWindow::saveForLeaving()
{
    if (m_leftSaved)
        return true;
    if (!saveShownDay() || !saveFixedMemo())
        return false;
    m_leftSaved = true;
    m_day.leave();
    return true;
}

// Declined, everything typed stays on the page for the next save.
bool ApptWindow::commitDay()
{
    return !m_day.hasRecord() || (followRestore() && retry([this] { return m_day.commit(); }));
}

bool ApptWindow::followRestore()
{
    return retry([this] { return m_day.followRestore(); });
}

// Opens date's page unless it is shown already. When that failed, the
// calendar marks the day still shown and has the focus, ready for another try.
bool ApptWindow::goToDay(const QDate& date)
{
    if (m_day.shows(date) || changeDay(date))
        return true;
    m_calendar->returnTo(m_day.date());
    return false;
}

void ApptWindow::goToToday()
{
    const QDate today = Clock::today();
    if (!goToDay(today))
        return;
    m_calendar->showMonthOf(today);
    m_calendar->setFocus();
}

void ApptWindow::exitToMenu()
{
    if (!saveForLeaving())
        return;
    m_host.open(Window::Menu);
    close();
}

void ApptWindow::closeEvent(QCloseEvent* event)
{
    event->setAccepted(saveForLeaving());
}

void ApptWindow::openCalendarDate(const QDate& date)
{
    const bool changing = !m_day.shows(date);
    if (!goToDay(date))
        return;
    if (changing)
        m_calendar->showListsFor(date);
    m_calendar->markChosen(date);
    m_dayGrid->setFocus();
}

void ApptWindow::openFind()
{
    // The shown page as it is on screen, edits not yet saved included.
    std::optional<DayRecord> shown;
    if (m_day.hasRecord()) {
        shown = m_day.record();
        shown->pageText = m_dayGrid->pageText();
    }
    m_findPanel->openPanel(m_db, shown);
}

bool ApptWindow::showFoundAppointment(const AppointmentSearch::Match& match)
{
    if (!goToDay(match.date))
        return false;
    m_calendar->showMonthOf(match.date);
    m_calendar->markChosen(match.date);
    m_dayGrid->setCurrentCell(match.row, match.column);
    m_dayGrid->setFocus();
    return true;
}

// What is on the page is stored first, so that the history is complete.
void ApptWindow::openHistory(bool ofSlot)
{
    hideCellEditor();
    if (!m_day.hasRecord() || !storePage())
        return;
    m_findPanel->hide();
    std::optional<HistoryPanel::Slot> slot;
    if (ofSlot)
        slot = HistoryPanel::slotAt(m_day.layout(), m_dayGrid->currentRowGrid(), m_dayGrid->currentColGrid());
    m_historyPanel->openPanel(m_db, m_day.date(), slot);
}

// The text put back is a change of this desk like any other: stored,
// recorded, and taken back by Ctrl+Z.
void ApptWindow::putBack(const ChangeEntry& entry)
{
    ShownDay::Screen screen = m_day.screen();
    if (!m_day.hasRecord() || !ChangeHistory::putBack(entry, m_day.layout(), screen.day, screen.fixedMemo)) {
        QApplication::beep();
        return;
    }
    showScreen(screen);
    storePage();
}

// Tab in the open/closed selector stores the choice at once.
void ApptWindow::chooseOpenClosed(bool closed)
{
    setPageColours(closed);
    hideCellEditor();
    commitDay();
    if (closed)
        m_calendar->setFocus();
    else
        m_dayGrid->setFocus();
}

void ApptWindow::showMemoPad(bool fixed)
{
    m_memoButton->setText(fixed ? QStringLiteral("Daily Memo") : QStringLiteral("Fixed Memo"));
    m_memoButtonHint->setText(fixed ? QStringLiteral("Press Alt-D") : QStringLiteral("Press Alt-F"));
    m_memoPads->showPad(fixed);
}

void ApptWindow::toggleMemoPads()
{
    showMemoPad(!m_memoPads->showsFixedPad());
}

void ApptWindow::memoPaused()
{
    if (m_day.isBusy()) {
        m_memoPads->waitAgain();
        return;
    }
    commitDay();
    saveFixedMemo();
}

// Everything on the page stored, the slot being typed too: the steps the
// history takes back.
bool ApptWindow::storePage()
{
    if (!followRestore())
        return false;
    m_cellEditor->settle();
    return commitDay() && saveFixedMemo();
}

// Delete on the grid empties the current slot, stored at once as an edit.
void ApptWindow::clearCurrentSlot()
{
    hideCellEditor();
    const int row = m_dayGrid->currentRowGrid();
    const int column = m_dayGrid->currentColGrid();
    if (row < 1 || column < 1 || m_dayGrid->cellText(row, column).isEmpty())
        return;
    m_dayGrid->setCellText(row, column, QString());
    commitDay();
}

void ApptWindow::gridCharTyped(QChar ch, bool* clear)
{
    *clear = true;
    if (ch == QChar(9)) {
        m_calendar->setFocus();
        return;
    }
    // An editor still open on another cell has ended there.
    endCellEdit();
    m_cellEditor->openOnCurrentCell(ch);
}

void ApptWindow::hideCellEditor()
{
    m_cellEditor->hide();
    endCellEdit();
}

// The editor has left its cell (Enter, Tab, a click or scroll elsewhere):
// the cell is merged with what was stored meanwhile and the day committed.
void ApptWindow::endCellEdit()
{
    if (!m_day.isEditing())
        return;
    // The cell's base must be the restored one before the edit settles.
    const bool followed = followRestore();
    m_cellEditor->settle();
    if (followed && m_day.hasRecord())
        static_cast<void>(retry([this] { return m_day.commit(); }));
}

// Merged texts go on the page without disturbing the person at this desk:
// the cell being typed, the edit box, the selection and the focus stay as
// they are.
void ApptWindow::showMerged(const QString& page, const QString& memo, bool closed)
{
    m_dayGrid->mergePageText(page, m_day.isEditing() ? m_day.editedRow() : 0, m_day.editedColumn());
    if (m_memoPads->dailyPad()->toPlainText() != memo)
        m_memoPads->mergeText(m_memoPads->dailyPad(), memo);
    if (m_statusBar->isClosed() != closed) {
        m_statusBar->mergeClosed(closed);
        setPageColours(closed);
    }
}

void ApptWindow::showScreen(const ShownDay::Screen& shown)
{
    showMerged(shown.day.pageText, shown.day.memo, shown.day.closed);
    m_statusBar->showClosed(shown.day.closed);
    if (m_memoPads->fixedPad()->toPlainText() != shown.fixedMemo)
        m_memoPads->mergeText(m_memoPads->fixedPad(), shown.fixedMemo);
}

// The page moved into the layout another desk stored the day in: the cell
// being typed moves with it.
void ApptWindow::followLayout(const QString& page)
{
    m_dayGrid->movePage(m_day.layout(), page);
    if (m_day.isEditing()) {
        m_dayGrid->setCurrentCell(m_day.editedRow(), m_day.editedColumn());
        m_cellEditor->placeOverCell();
    }
}
