#include "appointments/ApptWindow.h"

#include "appointments/DayGrid.h"
#include "appointments/DayListPrinting.h"
#include "appointments/FindPanel.h"
#include "core/DayMerge.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>

namespace {
const QColor WindowGrey(224, 224, 224);
const QColor EditYellow(255, 255, 192);

QFont arial(int points, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(points);
    f.setBold(bold);
    f.setItalic(false);
    return f;
}

// Text colours go through the palette: a style sheet per label would make
// each of them parse and apply it, at start-up and on every repaint.
void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(Twips::point(left, top));
    l->adjustSize();
    return l;
}

// Store operations of the window under way. The retry pause and the retry
// question both let timers run; the poll for other desks' saves and the memo
// pause wait until the operation is over.
int g_storeCalls = 0;

// Runs a store operation until it succeeds or the user declines to retry.
template<class Op> bool withRetry(QWidget* parent, Op op)
{
    const QScopedValueRollback<int> busy(g_storeCalls, g_storeCalls + 1);
    for (;;) {
        const Result st = op();
        if (st.ok())
            return true;
        if (!Dialogs::askRetry(parent, st.message))
            return false;
    }
}
} // namespace

ApptWindow::ApptWindow(QWidget* parent)
    : QWidget(parent)
    , m_db(*Database::current())
{
    setObjectName(QStringLiteral("appointmentWindow"));
    setWindowTitle(QStringLiteral("Appointments"));
    buildControls();

    // Start-up: the window covers the screen, less a strip at the bottom.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        const QSize designed = Twips::size(11904, 8532);
        resize(std::max(designed.width(), avail.width()),
            std::max(designed.height(), avail.height() - Twips::toPixels(280)));
        move(avail.topLeft());
    }

    m_newRecordAdded = false;
    m_layoutFromRecord = false;
    if (!readSettings())
        m_settings = Settings::defaults();
    m_openCaption = QStringLiteral(" ") + m_settings.location + QStringLiteral(" Open");
    m_closedCaption = QStringLiteral(" ") + m_settings.location + QStringLiteral(" Closed");
    m_openClosedCombo->clear();
    m_openClosedCombo->addItem(m_openCaption);
    m_openClosedCombo->addItem(m_closedCaption);
    m_openClosedCombo->setCurrentIndex(0);
    m_fixedMemoEdit->setPlainText(m_settings.fixedMemo);
    m_storedFixedMemo = m_settings.fixedMemo;

    m_currentDate = Clock::today();
    fillCalendar(m_currentDate);
    setHeadings();

    if (!openDay(m_currentDate)) {
        // Without a record there is nothing to show or save into.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    layOutShownDay();
    startDesks();
    // The whole file is read once in the background: damage shows at once,
    // with the way out, instead of on some later day or save.
    Database::checkWholeFileLater(m_db.path(), this, [this](const Result& checked) {
        if (!checked.ok())
            reportDamagedFile(checked.message);
    });
    // Ready to type: the first slot of the day has the focus.
    m_dayGrid->setCurrentCell(2, 1);
    m_dayGrid->setFocus();
}

ApptWindow::~ApptWindow() = default;

void ApptWindow::buildControls()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, WindowGrey);
    setPalette(pal);
    setAutoFillBackground(true);

    m_shownDate = label(this, QStringLiteral("shownDate"), QString(), 1680, 360);
    m_shownWeekday = label(this, QStringLiteral("shownWeekday"), QString(), 3480, 360);
    for (QLabel* l : {m_shownDate, m_shownWeekday}) {
        l->setFont(arial(12, true));
        setTextColour(l, Qt::blue);
    }

    label(this, QStringLiteral("openClosedHint"), QStringLiteral("Press Alt-C"), 7420, 120);
    m_openClosedCombo = new QComboBox(this);
    m_openClosedCombo->setObjectName(QStringLiteral("openClosedCombo"));
    m_openClosedCombo->setGeometry(Twips::rect(7464, 360, 1740, 312));

    m_dayGrid = new DayGrid(this);
    m_dayGrid->setObjectName(QStringLiteral("dayGrid"));
    m_dayGrid->setGeometry(Twips::rect(240, 720, 8988, 6860));
    m_dayGrid->setFont(arial(8, true));
    m_dayGrid->horizontalHeader()->setFont(arial(8, true));
    m_dayGrid->verticalHeader()->setFont(arial(8, true));

    m_cellEditor = new QLineEdit(this);
    m_cellEditor->setObjectName(QStringLiteral("cellEditor"));
    m_cellEditor->setFont(arial(8, true));
    m_cellEditor->setFrame(false);
    m_cellEditor->setStyleSheet(QStringLiteral("background-color: rgb(255,255,192); color: black;"));
    m_cellEditor->hide();

    m_calendarFrame = new QFrame(this);
    m_calendarFrame->setObjectName(QStringLiteral("calendarFrame"));
    m_calendarFrame->setGeometry(Twips::rect(9480, 720, 2120, 2560));
    m_calendarFrame->setAutoFillBackground(true);
    QPalette white = m_calendarFrame->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_calendarFrame->setPalette(white);
    m_monthCombo = new QComboBox(m_calendarFrame);
    m_monthCombo->setObjectName(QStringLiteral("monthCombo"));
    m_monthCombo->setGeometry(Twips::rect(0, 0, 1212, 312));
    m_yearCombo = new QComboBox(m_calendarFrame);
    m_yearCombo->setObjectName(QStringLiteral("yearCombo"));
    m_yearCombo->setGeometry(Twips::rect(1220, 0, 900, 312));
    // The calendar panel fills the frame; the two lists lie over its top.
    m_monthCalendar = new QWidget(m_calendarFrame);
    m_monthCalendar->setObjectName(QStringLiteral("monthCalendar"));
    m_monthCalendar->setGeometry(Twips::rect(0, 0, 2120, 2560));
    m_monthCalendar->setFocusPolicy(Qt::StrongFocus);
    m_monthCalendar->installEventFilter(this);
    auto* weekdayHeads = new QWidget(m_monthCalendar);
    weekdayHeads->setObjectName(QStringLiteral("weekdayHeads"));
    weekdayHeads->setGeometry(Twips::rect(0, 360, 2120, 280));
    static const int lefts[7] = {0, 310, 610, 910, 1210, 1510, 1810};
    static const int tops[6] = {650, 960, 1260, 1570, 1880, 2200};
    static const char* const heads[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
    QFont narrow(QStringLiteral("Arial Narrow"));
    narrow.setPointSize(9);
    narrow.setBold(true);
    for (int c = 0; c < 7; ++c) {
        auto* h = new QLabel(QString::fromLatin1(heads[c]), weekdayHeads);
        h->setObjectName(QStringLiteral("weekdayHead%1").arg(c));
        h->setGeometry(Twips::rect(lefts[c], 0, c == 0 ? 300 : 290, 280));
        h->setAlignment(Qt::AlignCenter);
        h->setFont(narrow);
        setTextColour(h, c == 0 ? Qt::red : Qt::black);
    }
    for (int i = 0; i < CalendarMath::LabelCount; ++i) {
        const int row = i / 7;
        const int col = i % 7;
        auto* l = new QLabel(m_monthCalendar);
        l->setObjectName(QStringLiteral("dayLabel%1").arg(i));
        l->setGeometry(Twips::rect(lefts[col], tops[row], col == 0 ? 300 : 290, 300));
        l->setAlignment(Qt::AlignCenter);
        l->setFont(narrow);
        l->setAutoFillBackground(true);
        l->installEventFilter(this);
        m_dayLabels[size_t(i)] = l;
        paintDayLabel(i, Qt::white);
    }
    for (QComboBox* list : {m_monthCombo, m_yearCombo})
        list->setFont(arial(8, false));
    m_monthCombo->raise();
    m_yearCombo->raise();
    for (const QString& month : {QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
             QStringLiteral("April"), QStringLiteral("May"), QStringLiteral("June"), QStringLiteral("July"),
             QStringLiteral("August"), QStringLiteral("September"), QStringLiteral("October"),
             QStringLiteral("November"), QStringLiteral("December")})
        m_monthCombo->addItem(month);
    for (int y = CalendarMath::FirstListYear; y <= CalendarMath::LastListYear; ++y)
        m_yearCombo->addItem(QString::number(y));
    label(this, QStringLiteral("monthHint"), QStringLiteral("Press Alt-M"), 9480, 480);
    label(this, QStringLiteral("yearHint"), QStringLiteral("Press Alt-Y"), 10700, 480);

    label(this, QStringLiteral("todayHint"), QStringLiteral("Press Esc"), 9480, 3600);
    m_todayButton = new QPushButton(QStringLiteral("Today"), this);
    m_todayButton->setObjectName(QStringLiteral("todayButton"));
    m_todayButton->setGeometry(Twips::rect(9480, 3840, 970, 372));
    m_todayButton->setFont(arial(9, true));
    m_todayButton->setStyleSheet(QStringLiteral("background-color: rgb(128,128,128);"));
    connect(m_todayButton, &QPushButton::clicked, this, &ApptWindow::goToToday);

    label(this, QStringLiteral("findHint"), QStringLiteral("Press Ctrl-F"), 10680, 3600);
    m_findButton = new QPushButton(QStringLiteral("Find"), this);
    m_findButton->setObjectName(QStringLiteral("findButton"));
    m_findButton->setGeometry(Twips::rect(10680, 3840, 970, 372));
    m_findButton->setToolTip(QStringLiteral("Finds a client's appointments on every day"));
    // A click leaves the focus where it was, so Esc in the panel returns there.
    m_findButton->setFocusPolicy(Qt::NoFocus);
    connect(m_findButton, &QPushButton::clicked, this, &ApptWindow::openFind);

    m_closedCheck = new QCheckBox(this);
    m_closedCheck->setObjectName(QStringLiteral("closedCheck"));
    m_closedCheck->hide();

    for (QPlainTextEdit** pad : {&m_dailyMemoEdit, &m_fixedMemoEdit}) {
        *pad = new QPlainTextEdit(this);
        (*pad)->setGeometry(Twips::rect(9480, 4800, 2196, 2772));
        (*pad)->setFont(arial(9, false));
        (*pad)->setStyleSheet(
            QStringLiteral("QPlainTextEdit { color: rgb(0,0,128); background-color: rgb(224,224,224); }"
                           "QPlainTextEdit:focus { background-color: white; }"));
    }
    m_dailyMemoEdit->setObjectName(QStringLiteral("dailyMemoEdit"));
    m_fixedMemoEdit->setObjectName(QStringLiteral("fixedMemoEdit"));
    m_fixedMemoEdit->hide();

    m_dailyMemoTitle = label(this, QStringLiteral("dailyMemoTitle"), QStringLiteral("Daily Memo"), 9480, 4560);
    m_dailyMemoHint = label(this, QStringLiteral("dailyMemoHint"), QStringLiteral(" (Press Alt-D)"), 9480 + 900, 4560);
    m_fixedMemoTitle = label(this, QStringLiteral("fixedMemoTitle"), QStringLiteral("Fixed Memo"), 9480, 4560);
    m_fixedMemoHint = label(this, QStringLiteral("fixedMemoHint"), QStringLiteral(" (Press Alt-F)"), 9480 + 900, 4560);
    for (QLabel* l : {m_dailyMemoTitle, m_fixedMemoTitle})
        l->setFont(arial(9, true));
    for (QLabel* l : {m_fixedMemoTitle, m_fixedMemoHint}) {
        l->setAutoFillBackground(true);
        l->hide();
    }
    m_dailyMemoHint->move(m_dailyMemoTitle->geometry().right() + 2, m_dailyMemoHint->y());
    m_fixedMemoHint->move(m_fixedMemoTitle->geometry().right() + 2, m_fixedMemoHint->y());

    m_memoButton = new QPushButton(QStringLiteral("Fixed Memo"), this);
    m_memoButton->setObjectName(QStringLiteral("memoButton"));
    m_memoButton->setGeometry(Twips::rect(7920, 8040, 1350, 372));
    m_memoButton->setToolTip(QStringLiteral("Toggles memo pads"));
    connect(m_memoButton, &QPushButton::clicked, this, &ApptWindow::toggleMemoPads);
    m_memoButtonHint = label(this, QStringLiteral("memoButtonHint"), QStringLiteral("Press Alt-F"), 7920, 7800);

    m_helpHint = label(this, QStringLiteral("helpHint"), QStringLiteral("Press F1 for Help"), 240, 7920);
    m_helpText = new QLabel(this);
    m_helpText->setObjectName(QStringLiteral("helpText"));
    m_helpText->setText(QStringLiteral(
        "Use TAB key to move between Calendar and Appointment Book. Use ARROW keys to navigate around Calendar and "
        "Page. Pressing Esc Key will return you to today's page. Press Alt-C, Alt-D or Alt-F to activate status bar "
        "and Memo pads respectively; press Alt-M, Alt-Y to change Month or Year of the page; you must  then press TAB "
        "key to return to Appointment page. Press F2 to turn off this Help message. Thank you."));
    m_helpText->setGeometry(Twips::rect(120, 7580, 7836, 1100));
    m_helpText->setWordWrap(true);
    setTextColour(m_helpText, QColor(128, 0, 0));
    m_helpText->hide();

    label(this, QStringLiteral("printHint"), QStringLiteral("Press Alt-P"), 9480, 7800);
    m_printButton = new QPushButton(QStringLiteral("&Print"), this);
    m_printButton->setObjectName(QStringLiteral("printButton"));
    m_printButton->setGeometry(Twips::rect(9480, 8040, 970, 372));
    m_printButton->setToolTip(QStringLiteral("Prints appointment lists for individual practitioners"));
    connect(m_printButton, &QPushButton::clicked, this,
        [this] { DayListPrinting::printDayLists(this, DayListPrinting::sheetFromGrid(*m_dayGrid, m_currentDate)); });

    label(this, QStringLiteral("exitHint"), QStringLiteral("Press Alt-E"), 10680, 7680);
    m_exitButton = new QPushButton(QStringLiteral("&Exit"), this);
    m_exitButton->setObjectName(QStringLiteral("exitButton"));
    m_exitButton->setGeometry(Twips::rect(10680, 7920, 996, 500));
    m_exitButton->setFont(arial(10, true));
    connect(m_exitButton, &QPushButton::clicked, this, &ApptWindow::exitToMenu);

    // The find panel lies over the lower part of the page.
    m_findPanel = new FindPanel(this);
    m_findPanel->setGeometry(Twips::rect(240, 4320, 8988, 3260));
    m_findPanel->setFallbackFocus(m_dayGrid);
    connect(m_findPanel, &FindPanel::appointmentChosen, this, &ApptWindow::showFoundAppointment);

    connect(m_dayGrid, &DayGrid::charTyped, this, &ApptWindow::gridCharTyped);
    connect(m_dayGrid, &DayGrid::scrolled, this, &ApptWindow::hideCellEditor);
    connect(m_cellEditor, &QLineEdit::textChanged, this, &ApptWindow::cellEditorChanged);
    m_cellEditor->raise();
    buildShortcuts();
    qApp->installEventFilter(this);
}

bool ApptWindow::readSettings()
{
    return withRetry(this, [&] { return SettingsStore(m_db).read(m_settings); });
}

void ApptWindow::setHeadings()
{
    const QLocale locale;
    m_shownWeekday->setText(locale.toString(m_currentDate, QStringLiteral("dddd")));
    m_shownDate->setText(locale.toString(m_currentDate, QLocale::ShortFormat));
    m_shownWeekday->adjustSize();
    m_shownDate->adjustSize();
}

bool ApptWindow::openDay(const QDate& date)
{
    // New records copy the settings as they are now.
    Settings current;
    if (!withRetry(this, [&] { return SettingsStore(m_db).read(current); }))
        return false;
    DayRecord rec;
    bool created = false;
    if (!withRetry(this, [&] { return DayStore(m_db).open(date, current, rec, created); }))
        return false;
    // The day is laid out from the settings as they are now, too.
    m_settings = current;
    m_record = rec;
    m_haveRecord = true;
    m_newRecordAdded = created;
    return true;
}

QString ApptWindow::pageText() const
{
    m_dayGrid->setSelectionRange(1, 1, m_layout.lastRow, m_layout.lastCol);
    return m_dayGrid->selectionText();
}

void ApptWindow::selectWholePage()
{
    m_dayGrid->setSelectionRange(1, 1, m_layout.lastRow, m_layout.lastCol);
}

DayRecord ApptWindow::shownRecord() const
{
    DayRecord shown = m_record;
    shown.pageText = pageText();
    shown.memo = m_dailyMemoEdit->toPlainText();
    shown.closed = m_closedCheck->isChecked();
    // The copies always describe the layout the page is stored in.
    DayPlacement::describeLayout(shown, m_layout);
    return shown;
}

// Stores the shown day, or deletes it when it is open and wholly empty. The
// page stays on screen: should the next day fail to open, the day is still
// shown, whole, and what is typed there goes into its record (made again
// when it was deleted).
bool ApptWindow::saveShownDay()
{
    if (!followRestore(true))
        return false;
    settleEditCell();
    if (!m_haveRecord)
        return true;
    const DayRecord edited = shownRecord();
    DayStore::SaveOutcome outcome;
    if (!withRetry(this, [&] {
            outcome = DayStore(m_db).save(m_record, edited);
            return outcome.status;
        }))
        return false;
    if (!saveFixedMemo())
        return false;
    if (outcome.deleted) {
        m_record = edited;
        m_record.id = 0;
        m_record.version = 0;
        return true;
    }
    followStoredLayout(outcome.stored);
    if (outcome.merged)
        showMerged(outcome.stored.pageText, outcome.stored.memo, outcome.stored.closed);
    m_record = outcome.stored;
    return true;
}

bool ApptWindow::saveFixedMemo()
{
    const QString text = m_fixedMemoEdit->toPlainText();
    if (text == m_storedFixedMemo)
        return true;
    QString stored;
    if (!withRetry(this, [&] { return SettingsStore(m_db).saveFixedMemo(m_storedFixedMemo, text, stored); }))
        return false;
    m_storedFixedMemo = stored;
    if (stored != text) {
        const QScopedValueRollback<bool> merging(m_showingMerged, true);
        setPadText(m_fixedMemoEdit, stored);
    }
    return true;
}

void ApptWindow::buildProviderColumns(int columnCount, const QStringList& names)
{
    m_dayGrid->suspendRedraw();
    m_dayGrid->setColumnWidthTwips(0, DayLayoutRules::TimeColumnWidth);
    m_dayGrid->setColumnCountGrid(columnCount);
    for (int c = 1; c < columnCount; ++c) {
        m_dayGrid->setColumnWidthTwips(c, DayLayoutRules::providerColumnWidth(columnCount));
        m_dayGrid->setCellText(0, c, c < names.size() ? names[c] : QString());
    }
    m_layout.lastCol = columnCount - 1;
    m_dayGrid->resumeRedraw();
}

bool ApptWindow::buildTimeRows(const DayLayout& layout)
{
    m_dayGrid->suspendRedraw();
    m_dayGrid->setRowCountGrid(layout.rowCount());
    m_dayGrid->setCellText(1, 0, QString());
    for (int i = 0; i < layout.timeTexts.size(); ++i)
        m_dayGrid->setCellText(int(i) + 2, 0, layout.timeTexts[i]);
    m_dayGrid->setCellText(layout.lastRow, 0, QString());
    m_dayGrid->resumeRedraw();
    m_layout = layout;
    selectWholePage();

    if (m_newRecordAdded && m_haveRecord && m_record.pageText.isEmpty()) {
        DayRecord rec = m_record;
        if (!withRetry(this, [&] { return DayStore(m_db).initialiseData(rec, m_layout.emptyPageText); }))
            return false;
        m_record = rec;
        m_newRecordAdded = false;
    }
    return true;
}

void ApptWindow::applyLayout(const DayLayout& layout)
{
    buildProviderColumns(layout.columnCount, layout.providerNames);
    buildTimeRows(layout);
}

// Lays the page out for the current day and shows it. The day's text is
// placed where it belongs: a change of the practice's layout never drops or
// moves a booking (the day then keeps the layout its text was stored in).
void ApptWindow::layOutShownDay()
{
    const std::optional<DayRecord> record = m_haveRecord ? std::optional<DayRecord>(m_record) : std::nullopt;
    const DayPlacement::Placement placed = DayPlacement::place(m_currentDate, Clock::today(), record, m_settings);
    if (m_haveRecord) {
        // The record as read, in the layout it is shown in: the base of the
        // next save and of merging other desks' changes.
        m_record.pageText = placed.pageText;
        DayPlacement::describeLayout(m_record, placed.layout);
    }
    m_layoutFromRecord = placed.fromRecord;
    if (!(placed.layout == m_layout) || m_dayGrid->columnCountGrid() != placed.layout.columnCount)
        applyLayout(placed.layout);
    showDay();
}

void ApptWindow::setPageColours(bool closed)
{
    m_dayGrid->setCellBackground(closed ? ClosedDayColour : QColor(Qt::white));
}

void ApptWindow::showDay()
{
    const bool closed = m_haveRecord && m_record.closed;
    selectWholePage();
    const bool written = m_haveRecord && !m_record.pageText.isEmpty();
    m_dayGrid->putSelectionText(written ? m_record.pageText : m_layout.emptyPageText);
    setPageColours(closed);
    m_cellEditor->hide();
    m_editing = false;
    m_openClosedCombo->setCurrentIndex(closed ? 1 : 0);
    m_closedCheck->setChecked(closed);
    m_dailyMemoEdit->setPlainText(m_haveRecord ? m_record.memo : QString());
    setHeadings();
}

// Saves the shown day, then opens date. When either fails (and the user
// declined to retry), the shown day stays on screen as it was.
bool ApptWindow::changeDay(const QDate& date)
{
    if (!saveShownDay())
        return false;
    if (!openDay(date))
        return false;
    m_currentDate = date;
    layOutShownDay();
    return true;
}

void ApptWindow::goToToday()
{
    const QDate today = Clock::today();
    paintDayLabel(m_selectedDayIndex, Qt::white);
    if ((!m_haveRecord || m_record.calDate != today) && !changeDay(today)) {
        selectShownDay();
        return;
    }
    m_currentDate = today;
    fillCalendar(today);
    setHeadings();
    m_monthCalendar->setFocus();
}

bool ApptWindow::saveForLeaving()
{
    if (m_leftSaved)
        return true;
    if (!saveShownDay())
        return false;
    if (!saveFixedMemo())
        return false;
    m_leftSaved = true;
    m_haveRecord = false;
    return true;
}

void ApptWindow::exitToMenu()
{
    if (!saveForLeaving())
        return;
    Windows::open(Window::Menu);
    close();
}

void ApptWindow::closeEvent(QCloseEvent* e)
{
    if (!saveForLeaving()) {
        e->ignore();
        return;
    }
    e->accept();
}

// ---- In-place editing

void ApptWindow::gridCharTyped(QChar ch, bool* clear)
{
    if (ch == QChar(9)) {
        *clear = true;
        m_monthCalendar->setFocus();
        return;
    }
    // An editor still open on another cell has ended there.
    endCellEdit();
    m_editedRow = m_dayGrid->currentRowGrid();
    m_editedCol = m_dayGrid->currentColGrid();
    if (m_editedRow < 1 || m_editedCol < 1) {
        *clear = true;
        return;
    }
    {
        const QSignalBlocker block(m_cellEditor);
        m_cellEditor->setText(m_dayGrid->cellText(m_editedRow, m_editedCol));
    }
    m_editing = true;
    m_editBase = recordCell(m_editedRow, m_editedCol);
    m_cellEditor->setCursorPosition(0);
    placeCellEditor();
    m_cellEditor->show();
    m_cellEditor->raise();
    m_cellEditor->setFocus();
    *clear = true;
    if (ch == QChar(13))
        return;
    // The character lands in front of the cell's text, as if typed there with
    // the insertion point at the start; Backspace there changes nothing.
    if (ch == QChar(8))
        return;
    m_cellEditor->insert(QString(ch));
}

void ApptWindow::placeCellEditor()
{
    const QRect cell = m_dayGrid->currentCellRect();
    m_cellEditor->setGeometry(QRect(m_dayGrid->geometry().topLeft() + cell.topLeft(), cell.size()));
}

void ApptWindow::cellEditorChanged(const QString& text)
{
    const QString clean = PageText::cleanCell(text);
    if (clean != text) {
        // A paste may carry tabs or line breaks; they would break the page.
        const int pos = m_cellEditor->cursorPosition();
        const QSignalBlocker block(m_cellEditor);
        m_cellEditor->setText(clean);
        m_cellEditor->setCursorPosition(pos);
    }
    if (m_editedRow >= 1 && m_editedCol >= 1)
        m_dayGrid->setCellText(m_editedRow, m_editedCol, clean);
}

void ApptWindow::hideCellEditor()
{
    m_cellEditor->hide();
    endCellEdit();
}

// ---- Calendar

void ApptWindow::paintDayLabel(int index, const QColor& colour)
{
    if (index < 0 || index >= CalendarMath::LabelCount)
        return;
    QLabel* l = m_dayLabels[size_t(index)];
    const bool sunday = index % 7 == 0;
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, sunday ? Qt::red : Qt::blue);
    l->setPalette(p);
    l->setProperty("calendarColour", colour);
}

void ApptWindow::numberDayLabels()
{
    for (int i = 0; i < CalendarMath::LabelCount; ++i)
        m_dayLabels[size_t(i)]->setText(QString::number(m_calendarDates[size_t(i)].day()));
}

void ApptWindow::fillCalendar(const QDate& date)
{
    const std::optional<CalendarMath::CalendarPage> page = CalendarMath::fill(date);
    if (!page)
        return;
    m_calendarDates = page->dates;
    m_selectedDayIndex = page->selIndex;
    numberDayLabels();
    const QSignalBlocker b1(m_monthCombo);
    const QSignalBlocker b2(m_yearCombo);
    m_monthCombo->setCurrentIndex(CalendarMath::monthListIndex(date));
    m_yearCombo->setCurrentIndex(CalendarMath::yearListIndex(date));
    paintDayLabel(m_selectedDayIndex, CalendarGrey);
}

void ApptWindow::syncMonthYearLists(const QDate& date)
{
    const int month = CalendarMath::monthListIndex(date);
    if (m_monthCombo->currentIndex() != month)
        m_monthCombo->setCurrentIndex(month);
    const int year = CalendarMath::yearListIndex(date);
    if (m_yearCombo->currentIndex() != year)
        m_yearCombo->setCurrentIndex(year);
}

void ApptWindow::activateCalendarDay(int index)
{
    if (index < 0 || index >= CalendarMath::LabelCount)
        return;
    const QDate date = m_calendarDates[size_t(index)];
    paintDayLabel(m_selectedDayIndex, Qt::white);
    if (date == m_currentDate && m_haveRecord) {
        setHeadings();
    } else {
        if (!changeDay(date)) {
            selectShownDay();
            return;
        }
        syncMonthYearLists(date);
    }
    m_selectedDayIndex = index;
    paintDayLabel(index, CalendarCyan);
    m_dayGrid->setFocus();
}

// After a day change that did not happen, the calendar marks the day that
// is still shown and has the focus, ready for another try.
void ApptWindow::selectShownDay()
{
    paintDayLabel(m_selectedDayIndex, Qt::white);
    fillCalendar(m_currentDate);
    paintDayLabel(m_selectedDayIndex, CalendarCyan);
    m_monthCalendar->setFocus();
}

void ApptWindow::calendarClicked()
{
    hideCellEditor();
    m_monthCalendar->setFocus();
}

bool ApptWindow::calendarKeyPressed(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter
        || key == Qt::Key_Space) {
        paintDayLabel(m_selectedDayIndex, CalendarCyan);
        activateCalendarDay(m_selectedDayIndex);
        return true;
    }
    const std::optional<CalendarMath::Key> k = CalendarMath::keyFor(key);
    if (!k)
        return false;
    const CalendarMath::Move move = CalendarMath::MoveCalendarSelection(*k, m_calendarDates, m_selectedDayIndex);
    if (!move.changed)
        return true;
    for (int i : move.paintedWhite)
        paintDayLabel(i, Qt::white);
    const bool scrolled = move.dates != m_calendarDates;
    m_calendarDates = move.dates;
    m_selectedDayIndex = move.selIndex;
    if (scrolled)
        numberDayLabels();
    paintDayLabel(m_selectedDayIndex, CalendarGrey);
    syncMonthYearLists(m_calendarDates[size_t(m_selectedDayIndex)]);
    return true;
}

void ApptWindow::commitMonthYear()
{
    paintDayLabel(m_selectedDayIndex, Qt::white);
    const int day = m_dayLabels[size_t(m_selectedDayIndex)]->text().toInt();
    const QDate date = CalendarMath::composeFromLists(day, m_monthCombo->currentIndex(), m_yearCombo->currentIndex());
    if (date.isValid() && date >= CalendarMath::MinDate) {
        const QSignalBlocker b1(m_monthCombo);
        const QSignalBlocker b2(m_yearCombo);
        fillCalendar(date);
    } else {
        paintDayLabel(m_selectedDayIndex, CalendarGrey);
    }
    m_monthCalendar->setFocus();
}

void ApptWindow::comboTabPressed(QComboBox* combo)
{
    if (combo == m_monthCombo || combo == m_yearCombo) {
        commitMonthYear();
        return;
    }
    const bool closed = m_openClosedCombo->currentIndex() == 1;
    m_closedCheck->setChecked(closed);
    setPageColours(closed);
    hideCellEditor();
    commitDay();
    if (closed)
        m_monthCalendar->setFocus();
    else
        m_dayGrid->setFocus();
}

// ---- Memo pads

void ApptWindow::showFixedPad()
{
    m_memoButton->setText(QStringLiteral("Daily Memo"));
    m_fixedMemoEdit->show();
    m_fixedMemoTitle->show();
    m_fixedMemoHint->show();
    m_fixedMemoEdit->raise();
    m_fixedMemoTitle->raise();
    m_fixedMemoHint->raise();
    m_memoButtonHint->setText(QStringLiteral("Press Alt-D"));
    m_fixedMemoEdit->setFocus();
}

void ApptWindow::showDailyPad()
{
    m_memoButton->setText(QStringLiteral("Fixed Memo"));
    m_fixedMemoEdit->hide();
    m_fixedMemoTitle->hide();
    m_fixedMemoHint->hide();
    m_memoButtonHint->setText(QStringLiteral("Press Alt-F"));
    m_dailyMemoEdit->setFocus();
}

void ApptWindow::toggleMemoPads()
{
    if (m_memoButton->text() == QLatin1String("Fixed Memo"))
        showFixedPad();
    else
        showDailyPad();
}

// ---- Find

void ApptWindow::openFind()
{
    // The shown page as it is on screen, edits not yet saved included.
    std::optional<DayRecord> shown;
    if (m_haveRecord) {
        shown = m_record;
        shown->pageText = pageText();
    }
    m_findPanel->openPanel(m_db, shown);
}

bool ApptWindow::showFoundAppointment(const AppointmentSearch::Match& match)
{
    paintDayLabel(m_selectedDayIndex, Qt::white);
    if (match.date != m_currentDate || !m_haveRecord) {
        if (!changeDay(match.date)) {
            selectShownDay();
            return false;
        }
    }
    fillCalendar(match.date);
    paintDayLabel(m_selectedDayIndex, CalendarCyan);
    m_dayGrid->setCurrentCell(match.row, match.column);
    m_dayGrid->setFocus();
    return true;
}

// ---- Keyboard

void ApptWindow::setHelpShown(bool shown)
{
    m_helpText->setVisible(shown);
    m_helpHint->setVisible(!shown);
}

void ApptWindow::windowKeyPressed(int key, Qt::KeyboardModifiers mods)
{
    const Qt::KeyboardModifiers relevant = mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key == Qt::Key_F1) {
        setHelpShown(true);
        return;
    }
    if (key == Qt::Key_F2) {
        setHelpShown(false);
        return;
    }
    if (key == Qt::Key_Escape) {
        m_todayButton->click();
        return;
    }
    if (key == Qt::Key_F && relevant == Qt::ControlModifier)
        openFind();
}

// The Alt keys that move the focus are shortcuts of the window: they act
// wherever the focus is and are consumed, so their letter never reaches the
// text that had the focus. Only exactly Alt and the letter match.
void ApptWindow::buildShortcuts()
{
    const auto add = [this](Qt::Key key, auto action) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::AltModifier | key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] {
            // A slot being typed is finished where it is before the focus moves.
            hideCellEditor();
            action();
        });
    };
    add(Qt::Key_F, [this] { showFixedPad(); });
    add(Qt::Key_D, [this] { showDailyPad(); });
    add(Qt::Key_C, [this] { m_openClosedCombo->setFocus(); });
    add(Qt::Key_M, [this] { m_monthCombo->setFocus(); });
    add(Qt::Key_Y, [this] { m_yearCombo->setFocus(); });
}

bool ApptWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) {
        if (watched == m_monthCalendar) {
            calendarClicked();
            return true;
        }
        for (int i = 0; i < CalendarMath::LabelCount; ++i) {
            if (watched == m_dayLabels[size_t(i)]) {
                activateCalendarDay(i);
                return true;
            }
        }
        return false;
    }
    if (watched == m_monthCalendar && (type == QEvent::FocusIn || type == QEvent::FocusOut)) {
        paintDayLabel(m_selectedDayIndex, type == QEvent::FocusIn ? CalendarGrey : CalendarCyan);
        return false;
    }
    if (type != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget != QApplication::focusWidget() || !isAncestorOf(widget))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int code = key->key();
    const bool isTab = code == Qt::Key_Tab || code == Qt::Key_Backtab;

    // Esc in the find panel closes the panel; it does not mean Today there.
    if (code == Qt::Key_Escape && m_findPanel->isAncestorOf(widget))
        return false;
    const bool isFind = code == Qt::Key_F
        && (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier;

    // The window sees every key first and passes it on.
    windowKeyPressed(code, key->modifiers());
    if (code == Qt::Key_Escape || isFind)
        return true; // Today or the find panel has taken the focus elsewhere already
    if (QApplication::focusWidget() != widget && !isTab)
        return false;

    if (widget == m_cellEditor) {
        if (isTab) {
            m_dayGrid->setCellText(m_editedRow, m_editedCol, m_cellEditor->text());
            hideCellEditor();
            m_monthCalendar->setFocus();
            return true;
        }
        if (code == Qt::Key_Return || code == Qt::Key_Enter) {
            // The cell takes the text before the commit merges it.
            m_dayGrid->setCellText(m_editedRow, m_editedCol, m_cellEditor->text());
            hideCellEditor();
            m_dayGrid->setFocus();
            return false;
        }
        return false;
    }
    if ((widget == m_dailyMemoEdit || widget == m_fixedMemoEdit) && isTab) {
        // A pad never keeps a tab character; Tab leaves for the calendar.
        m_monthCalendar->setFocus();
        return true;
    }
    for (QComboBox* combo : {m_openClosedCombo, m_monthCombo, m_yearCombo}) {
        if (widget == combo) {
            if (isTab) {
                comboTabPressed(combo);
                return true;
            }
            return false;
        }
    }
    if (widget == m_monthCalendar)
        return calendarKeyPressed(code, key->modifiers());
    return false;
}

void ApptWindow::reportDamagedFile(const QString& why)
{
    // SQLite's account of the damage (pages, error codes) says nothing to
    // the person at the desk.
    const QString damaged = QStringLiteral("is damaged");
    const qsizetype at = why.indexOf(damaged);
    const QString said = at < 0 ? why : why.left(at + damaged.size());
    Dialogs::message(this,
        said
            + QStringLiteral(". Bookings stored in its damaged parts may be missing or wrong. Restore the last good "
                             "back-up: Back-up/Restore files in the main menu."),
        Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Critical);
}

// ---- Several desks on one file

void ApptWindow::startDesks()
{
    m_deskPoll = new QTimer(this);
    m_deskPoll->setInterval(DeskPollMillis);
    connect(m_deskPoll, &QTimer::timeout, this, &ApptWindow::pollOtherDesks);
    m_deskPoll->start();
    m_replacementsSeen = m_db.replacements();
    // On a server the other desks' commits arrive as notifications: look at
    // once. The timer stays, for a notification that came while a save of
    // this window was under way (its count is only in memory, so cheap).
    if (m_db.isServer()) {
        QPointer<ApptWindow> self(this);
        m_db.onChangedElsewhere = [self] {
            if (self)
                QTimer::singleShot(0, self.data(), &ApptWindow::pollOtherDesks);
        };
    }

    m_memoPause = new QTimer(this);
    m_memoPause->setSingleShot(true);
    m_memoPause->setInterval(MemoPauseMillis);
    connect(m_memoPause, &QTimer::timeout, this, &ApptWindow::memoPaused);
    connect(m_dailyMemoEdit, &QPlainTextEdit::textChanged, this, [this] { memoTyped(m_dailyMemoEdit); });
    connect(m_fixedMemoEdit, &QPlainTextEdit::textChanged, this, [this] { memoTyped(m_fixedMemoEdit); });
}

// Stores the shown day as it is on the page, except the cell still being
// typed, and keeps the record even when it is empty (the day is still shown;
// leaving it deletes an empty one). What another copy saved meanwhile is
// merged and shown.
bool ApptWindow::commitDay()
{
    if (!m_haveRecord)
        return true;
    if (!followRestore(true))
        return false;
    DayRecord edited = shownRecord();
    if (m_editing) {
        PageText::Cells cells = PageText::split(edited.pageText);
        if (m_editedRow - 1 < cells.size() && m_editedCol - 1 < cells[m_editedRow - 1].size()) {
            cells[m_editedRow - 1][m_editedCol - 1] = recordCell(m_editedRow, m_editedCol);
            edited.pageText = PageText::join(cells);
        }
    }
    // A day nobody has written a page into yet gets none for a blank page.
    if (m_record.pageText.isEmpty() && PageText::isBlank(edited.pageText))
        edited.pageText = m_record.pageText;
    if (edited.pageText == m_record.pageText && edited.memo == m_record.memo && edited.closed == m_record.closed)
        return true;
    DayStore::SaveOutcome outcome;
    if (!withRetry(this, [&] {
            outcome = DayStore(m_db).save(m_record, edited, DayStore::SaveMode::KeepEmpty);
            return outcome.status;
        }))
        return false; // everything typed stays on the page for the next save
    followStoredLayout(outcome.stored);
    if (outcome.merged)
        showMerged(outcome.stored.pageText, outcome.stored.memo, outcome.stored.closed);
    m_record = outcome.stored;
    return true;
}

// The editor has left its cell (Enter, Tab, a click or scroll elsewhere):
// the cell is merged with what was stored meanwhile and the day committed.
void ApptWindow::endCellEdit()
{
    if (!m_editing)
        return;
    // The cell's base must be the restored one before the edit settles.
    const bool followed = followRestore(true);
    settleEditCell();
    if (followed)
        commitDay();
}

// Ends the edit. While the editor was open, the stored record may have moved
// on under the cell; its base is the text it had when the edit began.
void ApptWindow::settleEditCell()
{
    if (!m_editing)
        return;
    m_editing = false;
    m_cellEditor->hide();
    const QString mine = m_dayGrid->cellText(m_editedRow, m_editedCol);
    const QString merged = PageText::merge(m_editBase, mine, recordCell(m_editedRow, m_editedCol));
    if (merged != mine)
        m_dayGrid->setCellText(m_editedRow, m_editedCol, merged);
}

QString ApptWindow::recordCell(int row, int col) const
{
    const PageText::Cells cells = PageText::split(m_record.pageText);
    if (row >= 1 && col >= 1 && row - 1 < cells.size() && col - 1 < cells[row - 1].size())
        return cells[row - 1][col - 1];
    return QString();
}

// Cheap enough for a timer: SQLite's data_version tells whether anyone else
// has committed since the last look; only then is the shown day read again.
// A busy file is simply looked at again on the next turn.
void ApptWindow::pollOtherDesks()
{
    if (g_storeCalls > 0 || !m_haveRecord || m_leftSaved)
        return;
    if (!followRestore(false))
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

// The same merge as a save, with the record as read (m_record) as the base,
// the page as shown as mine and the stored record as theirs. Afterwards the
// stored record is the base of the next save.
void ApptWindow::takeOtherDesksDay(const std::optional<DayRecord>& storedAsRead)
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
    const DayMerge::Content merged
        = DayMerge::merge(m_record, {pageText(), m_dailyMemoEdit->toPlainText(), m_closedCheck->isChecked()}, stored);
    showMerged(merged.pageText, merged.memo, merged.closed);
    if (stored) {
        m_record = *stored;
    } else {
        // The next commit makes the record again.
        m_record.id = 0;
        m_record.version = 0;
        m_record.pageText = PageText::cleared(m_record.pageText);
        m_record.memo.clear();
        m_record.closed = false;
    }
}

// True once the shown day is read from the database a restore elsewhere put
// in place (at once when there was none); wait retries as a save does, else
// a busy database is looked at again on the next poll.
bool ApptWindow::followRestore(bool wait)
{
    if (!m_haveRecord)
        return true;
    // A failure here comes back from the access that follows.
    static_cast<void>(m_db.followReplacedFile());
    if (m_db.replacements() == m_replacementsSeen)
        return true;
    return takeRestoredDay(wait);
}

// The restored record becomes the base as it is, never merged with the
// replaced one: its texts differ in ways no desk typed, and its id and
// Version may be lower than the base's. Only what is being typed right now
// stays, the open cell and a memo pad not yet stored, and goes into the
// restored database with its next commit.
bool ApptWindow::takeRestoredDay(bool wait)
{
    const qint64 replacements = m_db.replacements();
    std::optional<DayRecord> day;
    QString fixedMemo;
    const auto read = [&] {
        Result s = wait ? DayStore(m_db).find(m_record.calDate, day) : DayStore(m_db).findOnce(m_record.calDate, day);
        if (!s.ok())
            return s;
        if (!wait)
            return SettingsStore(m_db).readFixedMemoOnce(fixedMemo);
        Settings settings;
        s = SettingsStore(m_db).read(settings);
        fixedMemo = settings.fixedMemo;
        return s;
    };
    if (wait ? !withRetry(this, read) : !read().ok())
        return false;
    m_replacementsSeen = replacements;
    m_dataVersion = m_db.dataVersion();

    const bool memoTyped = m_dailyMemoEdit->toPlainText() != m_record.memo;
    const bool fixedMemoTyped = m_fixedMemoEdit->toPlainText() != m_storedFixedMemo;
    if (day) {
        m_record = inShownLayout(*day);
    } else {
        // The restored database has no record of the day: the next commit
        // makes one.
        m_record.id = 0;
        m_record.version = 0;
        m_record.pageText = PageText::cleared(m_record.pageText);
        m_record.memo.clear();
        m_record.closed = false;
    }
    showMerged(m_record.pageText, memoTyped ? m_dailyMemoEdit->toPlainText() : m_record.memo, m_record.closed);
    if (m_editing)
        m_editBase = recordCell(m_editedRow, m_editedCol);
    m_storedFixedMemo = fixedMemo;
    if (!fixedMemoTyped && m_fixedMemoEdit->toPlainText() != fixedMemo) {
        const QScopedValueRollback<bool> merging(m_showingMerged, true);
        setPadText(m_fixedMemoEdit, fixedMemo);
    }
    return true;
}

void ApptWindow::takeOtherDesksFixedMemo(const QString& stored)
{
    if (stored == m_storedFixedMemo)
        return;
    const QString mine = m_fixedMemoEdit->toPlainText();
    const QString merged = PageText::mergeMemo(m_storedFixedMemo, mine, stored);
    if (merged != mine) {
        const QScopedValueRollback<bool> merging(m_showingMerged, true);
        setPadText(m_fixedMemoEdit, merged);
    }
    m_storedFixedMemo = stored;
}

// A stored record as the page shows it: its text moved into the shown
// layout, or the page moved into the record's when the record's text has no
// place in the shown one.
DayRecord ApptWindow::inShownLayout(const DayRecord& stored)
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
bool ApptWindow::followStoredLayout(const DayRecord& stored)
{
    const DayLayout to = DayPlacement::layoutOf(stored);
    if (to == m_layout)
        return false;
    const std::optional<QString> page = DayPlacement::movePage(pageText(), m_layout, to);
    const int editedRow = m_editing ? DayPlacement::rowFor(m_editedRow, m_layout, to) : 0;
    const DayRecord base = DayPlacement::inLayout(m_record, to);
    if (!page || (m_editing && editedRow == 0) || !(DayPlacement::layoutOf(base) == to))
        return false;
    const int currentRow = DayPlacement::rowFor(m_dayGrid->currentRowGrid(), m_layout, to);
    const int currentCol = m_dayGrid->currentColGrid();
    m_record = base;
    applyLayout(to);
    m_layoutFromRecord = true;
    selectWholePage();
    m_dayGrid->putSelectionText(*page);
    if (currentRow > 0)
        m_dayGrid->setCurrentCell(currentRow, currentCol);
    if (m_editing) {
        m_editedRow = editedRow;
        m_dayGrid->setCurrentCell(m_editedRow, m_editedCol);
        placeCellEditor();
    }
    return true;
}

// Puts merged texts on the page without disturbing the person at this desk:
// the cell being typed, the edit box, the selection and the focus stay as
// they are, and only cells whose text changed are touched.
void ApptWindow::showMerged(const QString& page, const QString& memo, bool closed)
{
    const QScopedValueRollback<bool> merging(m_showingMerged, true);
    const PageText::Cells cells = PageText::fit(page, m_layout.lastRow, m_layout.lastCol);
    for (int r = 1; r <= m_layout.lastRow; ++r) {
        for (int c = 1; c <= m_layout.lastCol; ++c) {
            if (m_editing && r == m_editedRow && c == m_editedCol)
                continue;
            const QString& text = cells[r - 1][c - 1];
            if (m_dayGrid->cellText(r, c) != text)
                m_dayGrid->setCellText(r, c, text);
        }
    }
    if (m_dailyMemoEdit->toPlainText() != memo)
        setPadText(m_dailyMemoEdit, memo);
    if (m_closedCheck->isChecked() != closed) {
        m_closedCheck->setChecked(closed);
        setPageColours(closed);
        // Someone choosing in the selector keeps their choice in view.
        if (!m_openClosedCombo->hasFocus())
            m_openClosedCombo->setCurrentIndex(closed ? 1 : 0);
    }
}

// New text for a memo pad that keeps its cursor, selection and scroll place.
void ApptWindow::setPadText(QPlainTextEdit* pad, const QString& text)
{
    const QTextCursor before = pad->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    const int scroll = pad->verticalScrollBar()->value();
    pad->setPlainText(text);
    const int end = pad->document()->characterCount() - 1;
    QTextCursor after = pad->textCursor();
    after.setPosition(std::min(anchor, end));
    after.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
    pad->setTextCursor(after);
    pad->verticalScrollBar()->setValue(scroll);
}

void ApptWindow::memoTyped(QPlainTextEdit* pad)
{
    // Only typing counts: a day being shown or merged is no keystroke.
    if (m_showingMerged || !pad->hasFocus())
        return;
    m_memoPause->start();
}

void ApptWindow::memoPaused()
{
    if (g_storeCalls > 0) {
        m_memoPause->start();
        return;
    }
    commitDay();
    saveFixedMemo();
}
