#pragma once

#include "appointments/PagePanel.h"
#include "store/ChangeHistory.h"

class Database;
struct DayLayout;
class QLabel;
class QListWidget;

// The appointment window's history panel: every stored change of one slot,
// or of the whole day, newest first, with when and at which desk it was
// made. It lies over the lower part of the page like the find panel. Keys in
// its list: Up, Down and the page keys move, Enter puts back the text the
// chosen change replaced (as a new change of this desk), Esc closes.
class HistoryPanel : public PagePanel
{
    Q_OBJECT
public:
    explicit HistoryPanel(QWidget* parent = nullptr);

    // The slot a panel shows: its grid row and column, and its time in
    // minutes (-1 for a row without one).
    struct Slot
    {
        int row = 0;
        int column = 0;
        int minutes = -1;
        QString place; // as the title names it
    };
    // The slot at a grid row and column of a page laid out in layout.
    static Slot slotAt(const DayLayout& layout, int row, int column);
    // Shows day's changes, only slot's when given, the focus in the list.
    void openPanel(Database& db, const QDate& day, const std::optional<Slot>& slot);
    void closePanel() override;

    bool showsSlot() const { return m_slot.has_value(); }
    QListWidget* entryList() const { return m_entryList; }
    const QList<ChangeEntry>& shownEntries() const { return m_entries; }

signals:
    // Enter (or a double click) on a change.
    void entryChosen(const ChangeEntry& entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void chooseCurrent() override;

private:
    QLabel* m_title = nullptr;
    QListWidget* m_entryList = nullptr;
    std::optional<Slot> m_slot;
    QList<ChangeEntry> m_entries;
};
