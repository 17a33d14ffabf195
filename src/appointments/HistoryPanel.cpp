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
    : QFrame(parent)
{
    setObjectName(QStringLiteral("historyPanel"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(pal);

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
    hide();
}

HistoryPanel::Slot HistoryPanel::slotAt(const DayLayout& layout, int row, int column)
{
    ChangeEntry here;
    here.row = row;
    here.column = column;
    const int time = row - 2;
    if (time >= 0 && time < layout.timeMinutes.size()) {
        here.minutes = layout.timeMinutes[time];
        here.time = layout.timeTexts[time];
    }
    here.provider = layout.providerName(column);
    return {row, column, here.minutes, ChangeHistory::placeOf(here)};
}

void HistoryPanel::openPanel(Database& db, const QDate& day, const std::optional<Slot>& slot)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != this && !isAncestorOf(focus))
        m_returnFocus = focus;
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
    QWidget* back = m_returnFocus;
    m_returnFocus = nullptr;
    if (!back || !back->isVisible() || !back->isEnabled())
        back = m_fallbackFocus;
    hide();
    if (back)
        back->setFocus();
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

void HistoryPanel::lieOver(QWidget* page)
{
    m_page = page;
    page->installEventFilter(this);
}

bool HistoryPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_page && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        const QRect page = m_page->geometry();
        const int height = std::min(page.height(), Twips::toPixels(3260));
        setGeometry(page.left(), page.bottom() + 1 - height, page.width(), height);
    }
    if (watched != m_entryList)
        return QFrame::eventFilter(watched, event);
    const int key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride
        ? static_cast<QKeyEvent*>(event)->key()
        : 0;
    if (key == Qt::Key_Escape && event->type() == QEvent::ShortcutOverride) {
        // Esc closes the panel: it is no shortcut of the window here.
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        chooseCurrent();
        return true;
    case Qt::Key_Escape:
        closePanel();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return QFrame::eventFilter(watched, event);
    }
}
