#include "appointments/HistoryPanel.h"

#include "core/DayLayout.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

HistoryPanel::HistoryPanel(QWidget* parent)
    : PagePanel(parent)
{
    setObjectName(QStringLiteral("historyPanel"));

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("historyTitle"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    auto* hint = new QLabel(
        QStringLiteral(
            "Enter puts back the text before the change; Ctrl-H this slot, Ctrl-Shift-H the day; Esc closes"),
        this);
    hint->setObjectName(QStringLiteral("historyKeysHint"));
    m_entryList = new QListWidget(this);
    m_entryList->setObjectName(QStringLiteral("historyList"));
    m_entryList->setUniformItemSizes(true);
    m_entryList->installEventFilter(this);

    auto* top = new QHBoxLayout;
    top->addWidget(m_title, 1);
    top->addWidget(hint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(m_entryList, 1);
    connect(m_entryList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        m_entryList->setCurrentItem(item);
        chooseCurrent();
    });
}

HistoryPanel::Slot HistoryPanel::slotAt(const DayLayout& layout, int row, int column)
{
    const ChangeEntry here = ChangeHistory::slotAt(layout, row, column);
    return {row, column, here.minutes, ChangeHistory::placeOf(here)};
}

void HistoryPanel::openPanel(Database& db, const QDate& day, const std::optional<Slot>& slot)
{
    rememberFocus();
    m_slot = slot;
    QList<ChangeEntry> all;
    const Result read = ChangeHistory::readDay(db, day, all);
    m_entries.clear();
    for (const ChangeEntry& e : std::as_const(all)) {
        const bool sameSlot = slot && e.kind == ChangeEntry::Kind::Slot && e.column == slot->column
            && (slot->minutes >= 0 ? e.minutes == slot->minutes : e.minutes < 0 && e.row == slot->row);
        if (!slot || sameSlot)
            m_entries.append(e);
    }
    const QString of = slot ? slot->place : QLocale().toString(day, QLocale::LongFormat);
    m_title->setText(!read.ok()   ? read.message
            : m_entries.isEmpty() ? QStringLiteral("No changes stored for %1").arg(of)
                                  : QStringLiteral("History of %1").arg(of));
    m_entryList->clear();
    for (const ChangeEntry& e : std::as_const(m_entries))
        m_entryList->addItem(ChangeHistory::describe(e));
    if (!m_entries.isEmpty())
        m_entryList->setCurrentRow(0);
    show();
    raise();
    m_entryList->setFocus();
}

void HistoryPanel::closePanel()
{
    hide();
    restoreFocus();
}

void HistoryPanel::chooseCurrent()
{
    const int row = m_entryList->currentRow();
    if (row < 0 || row >= m_entries.size())
        return;
    const ChangeEntry entry = m_entries[row];
    closePanel();
    emit entryChosen(entry);
}

bool HistoryPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_entryList && handlePanelKey(event))
        return true;
    return PagePanel::eventFilter(watched, event);
}
