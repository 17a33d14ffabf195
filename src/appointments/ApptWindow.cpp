#include "appointments/ApptWindow.h"

#include "appointments/DayGrid.h"
#include "appointments/DayListPrinting.h"
#include "appointments/PageText.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
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

QLabel* label(QWidget* parent, const QString& name, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(Twips::point(left, top));
    l->adjustSize();
    return l;
}

// Runs a store operation until it succeeds or the user declines to retry.
template<class Op> bool withRetry(QWidget* parent, Op op)
{
    for (;;) {
        const StoreStatus st = op();
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
    setObjectName(QStringLiteral("frmAppt"));
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
    m_combo[0]->clear();
    m_combo[0]->addItem(m_openCaption);
    m_combo[0]->addItem(m_closedCaption);
    m_combo[0]->setCurrentIndex(0);
    m_txtFixedMemo->setPlainText(m_settings.fixedMemo);
    m_storedFixedMemo = m_settings.fixedMemo;

    m_currentDate = Clock::today();
    setHeadings();

    if (!OpenDayRecord(m_currentDate)) {
        // Without a record there is nothing to show or save into.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // At start-up the layout always comes from the current settings.
    const DayLayout fresh = DayLayout::fromSettings(m_settings);
    BuildProviderColumns(fresh.columnCount, fresh.providerNames);
    BuildTimeRows(fresh);
    ShowDayRecord();
}

ApptWindow::~ApptWindow() = default;

void ApptWindow::buildControls()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, WindowGrey);
    setPalette(pal);
    setAutoFillBackground(true);

    m_lblCalDate = label(this, QStringLiteral("lblCalDate"), QString(), 1680, 360);
    m_lblCalDay = label(this, QStringLiteral("lblCalDay"), QString(), 3480, 360);
    for (QLabel* l : {m_lblCalDate, m_lblCalDay}) {
        l->setFont(arial(12, true));
        l->setStyleSheet(QStringLiteral("color: blue;"));
    }

    label(this, QStringLiteral("Label6"), QStringLiteral("Press Alt-C"), 7420, 120);
    m_combo[0] = new QComboBox(this);
    m_combo[0]->setObjectName(QStringLiteral("Combo(0)"));
    m_combo[0]->setGeometry(Twips::rect(7464, 360, 1740, 312));

    m_grid = new DayGrid(this);
    m_grid->setObjectName(QStringLiteral("Grid1"));
    m_grid->setGeometry(Twips::rect(240, 720, 8988, 6860));
    m_grid->setFont(arial(8, true));
    m_grid->horizontalHeader()->setFont(arial(8, true));
    m_grid->verticalHeader()->setFont(arial(8, true));

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("txtEdit"));
    m_edit->setFont(arial(8, true));
    m_edit->setFrame(false);
    m_edit->setStyleSheet(QStringLiteral("background-color: rgb(255,255,192); color: black;"));
    m_edit->hide();

    m_frame1 = new QFrame(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(Twips::rect(9480, 720, 2120, 2560));
    m_frame1->setAutoFillBackground(true);
    QPalette white = m_frame1->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_frame1->setPalette(white);
    m_combo[1] = new QComboBox(m_frame1);
    m_combo[1]->setObjectName(QStringLiteral("Combo(1)"));
    m_combo[1]->setGeometry(Twips::rect(0, 0, 1212, 312));
    m_combo[2] = new QComboBox(m_frame1);
    m_combo[2]->setObjectName(QStringLiteral("Combo(2)"));
    m_combo[2]->setGeometry(Twips::rect(1220, 0, 900, 312));
    m_picture2 = new QWidget(m_frame1);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setGeometry(Twips::rect(0, 340, 2120, 2220));
    m_picture2->setFocusPolicy(Qt::StrongFocus);

    label(this, QStringLiteral("Label2"), QStringLiteral("Press Esc"), 9480, 3600);
    m_cmdToday = new QPushButton(QStringLiteral("Today"), this);
    m_cmdToday->setObjectName(QStringLiteral("cmdToday"));
    m_cmdToday->setGeometry(Twips::rect(9480, 3840, 970, 372));
    m_cmdToday->setFont(arial(9, true));
    m_cmdToday->setStyleSheet(QStringLiteral("background-color: rgb(128,128,128);"));
    connect(m_cmdToday, &QPushButton::clicked, this, &ApptWindow::cmdToday_Click);

    m_check1 = new QCheckBox(this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->hide();

    for (QPlainTextEdit** pad : {&m_txtMemo, &m_txtFixedMemo}) {
        *pad = new QPlainTextEdit(this);
        (*pad)->setGeometry(Twips::rect(9480, 4800, 2196, 2772));
        (*pad)->setFont(arial(9, false));
        (*pad)->setStyleSheet(
            QStringLiteral("QPlainTextEdit { color: rgb(0,0,128); background-color: rgb(224,224,224); }"
                           "QPlainTextEdit:focus { background-color: white; }"));
    }
    m_txtMemo->setObjectName(QStringLiteral("TxtMemo"));
    m_txtFixedMemo->setObjectName(QStringLiteral("TxtFixedMemo"));
    m_txtFixedMemo->hide();

    m_cmdPrint = new QPushButton(QStringLiteral("&Print"), this);
    m_cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    m_cmdPrint->setGeometry(Twips::rect(9480, 8040, 970, 372));
    m_cmdPrint->setToolTip(QStringLiteral("Prints appointment lists for individual practitioners"));
    connect(m_cmdPrint, &QPushButton::clicked, this,
        [this] { DayListPrinting::printDayLists(this, DayListPrinting::sheetFromGrid(*m_grid, m_currentDate)); });

    label(this, QStringLiteral("Label11"), QStringLiteral("Press Alt-E"), 10680, 7680);
    m_cmdExit = new QPushButton(QStringLiteral("&Exit"), this);
    m_cmdExit->setObjectName(QStringLiteral("CmdExit"));
    m_cmdExit->setGeometry(Twips::rect(10680, 7920, 996, 500));
    m_cmdExit->setFont(arial(10, true));
    connect(m_cmdExit, &QPushButton::clicked, this, &ApptWindow::CmdExit_Click);
}

bool ApptWindow::readSettings()
{
    return withRetry(this, [&] { return SettingsStore(m_db).read(m_settings); });
}

void ApptWindow::setHeadings()
{
    const QLocale locale;
    m_lblCalDay->setText(locale.toString(m_currentDate, QStringLiteral("dddd")));
    m_lblCalDate->setText(locale.toString(m_currentDate, QLocale::ShortFormat));
    m_lblCalDay->adjustSize();
    m_lblCalDate->adjustSize();
}

bool ApptWindow::OpenDayRecord(const QDate& date)
{
    // New records copy the settings as they are now.
    Settings current;
    if (!withRetry(this, [&] { return SettingsStore(m_db).read(current); }))
        return false;
    DayRecord rec;
    bool created = false;
    if (!withRetry(this, [&] { return DayStore(m_db).open(date, current, rec, created); }))
        return false;
    m_record = rec;
    m_haveRecord = true;
    m_newRecordAdded = created;
    return true;
}

QString ApptWindow::pageText() const
{
    m_grid->setSelectionRange(1, 1, m_layout.lastRow, m_layout.lastCol);
    return m_grid->selectionText();
}

void ApptWindow::selectWholePage()
{
    m_grid->setSelectionRange(1, 1, m_layout.lastRow, m_layout.lastCol);
}

bool ApptWindow::SaveDayRecord()
{
    if (!m_haveRecord)
        return true;
    DayRecord edited = m_record;
    edited.data = pageText();
    edited.memo = m_txtMemo->toPlainText();
    edited.clinic = m_check1->isChecked();
    DayStore::SaveOutcome outcome;
    if (!withRetry(this, [&] {
            outcome = DayStore(m_db).save(m_record, edited);
            return outcome.status;
        }))
        return false;
    if (!saveFixedMemo())
        return false;
    if (outcome.deleted) {
        m_haveRecord = false;
    } else {
        m_record = outcome.stored;
    }
    selectWholePage();
    m_grid->putSelectionText(m_layout.emptyPageText);
    return true;
}

bool ApptWindow::saveFixedMemo()
{
    const QString text = m_txtFixedMemo->toPlainText();
    if (text == m_storedFixedMemo)
        return true;
    if (!withRetry(this, [&] { return SettingsStore(m_db).writeFixedMemo(text); }))
        return false;
    m_storedFixedMemo = text;
    return true;
}

void ApptWindow::BuildProviderColumns(int columnCount, const QStringList& names)
{
    m_grid->suspendRedraw();
    m_grid->setColumnWidthTwips(0, DayLayoutRules::TimeColumnWidth);
    m_grid->setColumnCountGrid(columnCount);
    for (int c = 1; c < columnCount; ++c) {
        m_grid->setColumnWidthTwips(c, DayLayoutRules::providerColumnWidth(columnCount));
        m_grid->setCellText(0, c, c < names.size() ? names[c] : QString());
    }
    m_layout.lastCol = columnCount - 1;
    m_grid->resumeRedraw();
}

bool ApptWindow::BuildTimeRows(const DayLayout& layout)
{
    m_grid->suspendRedraw();
    m_grid->setRowCountGrid(layout.rowCount());
    m_grid->setCellText(1, 0, QString());
    for (int i = 0; i < layout.timeTexts.size(); ++i)
        m_grid->setCellText(int(i) + 2, 0, layout.timeTexts[i]);
    m_grid->setCellText(layout.lastRow, 0, QString());
    m_grid->resumeRedraw();
    m_layout = layout;
    selectWholePage();

    if (m_newRecordAdded && m_haveRecord) {
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
    BuildProviderColumns(layout.columnCount, layout.providerNames);
    BuildTimeRows(layout);
}

bool ApptWindow::ApplyDayLayout()
{
    if (m_currentDate < Clock::today()) {
        m_layoutFromRecord = true;
        applyLayout(DayLayout::fromRecord(m_record));
    } else if (m_layoutFromRecord) {
        if (!readSettings())
            return false;
        applyLayout(DayLayout::fromSettings(m_settings));
        m_layoutFromRecord = false;
    }
    ShowDayRecord();
    return true;
}

void ApptWindow::setPageColours(bool closed)
{
    m_grid->setCellBackground(closed ? ClosedDayColour : QColor(Qt::white));
}

void ApptWindow::ShowDayRecord()
{
    const bool closed = m_haveRecord && m_record.clinic;
    selectWholePage();
    if (m_haveRecord)
        m_grid->putSelectionText(m_record.data);
    setPageColours(closed);
    m_edit->hide();
    m_combo[0]->setCurrentIndex(closed ? 1 : 0);
    m_check1->setChecked(closed);
    m_txtMemo->setPlainText(m_haveRecord ? m_record.memo : QString());
    setHeadings();
}

bool ApptWindow::changeDay(const QDate& date)
{
    if (!SaveDayRecord())
        return false;
    m_currentDate = date;
    if (!OpenDayRecord(date))
        return false;
    return ApplyDayLayout();
}

void ApptWindow::cmdToday_Click()
{
    const QDate today = Clock::today();
    if (!m_haveRecord || m_record.calDate != today) {
        if (!SaveDayRecord())
            return;
        m_currentDate = today;
        if (!OpenDayRecord(today))
            return;
        ApplyDayLayout();
    }
    m_currentDate = today;
    setHeadings();
    m_picture2->setFocus();
}

bool ApptWindow::saveForLeaving()
{
    if (m_leftSaved)
        return true;
    if (!SaveDayRecord())
        return false;
    if (!saveFixedMemo())
        return false;
    m_leftSaved = true;
    m_haveRecord = false;
    return true;
}

void ApptWindow::CmdExit_Click()
{
    if (!saveForLeaving())
        return;
    Windows::open(QStringLiteral("frmMenu"));
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
