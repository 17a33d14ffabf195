#pragma once

#include "appointments/AppointmentSearch.h"
#include "appointments/PagePanel.h"

#include <QTimer>
#include <optional>

class Database;
class QLabel;
class QLineEdit;
class QListWidget;

// The appointment window's find panel: a text box and the list of the
// appointments whose text holds it. It lies inside the window and never
// blocks it for long: each text typed is found through the database's
// search index, which reads only the days that can hold it.
// Keys in the text box: Up and Down (and the page keys) move in the list,
// Enter chooses the current line, Esc closes the panel.
class FindPanel : public PagePanel
{
    Q_OBJECT
public:
    explicit FindPanel(QWidget* parent = nullptr);
    ~FindPanel() override;

    // Shows the panel, the focus in the text box with its text selected, and
    // finds its text in the days stored in db. shownDay stands in for its
    // stored record: the page on screen may hold edits not yet saved.
    void openPanel(Database& db, const std::optional<DayRecord>& shownDay);
    // Hides the panel and gives the focus back to where it was when the panel
    // was opened.
    void closePanel() override;

    QLineEdit* findBox() const { return m_findBox; }
    QListWidget* resultList() const { return m_resultList; }
    QLabel* statusLabel() const { return m_statusLabel; }
    const QList<AppointmentSearch::Match>& shownMatches() const { return m_matches; }

signals:
    // Enter (or a double click) on a line; the panel is already hidden.
    void appointmentChosen(const AppointmentSearch::Match& match);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void chooseCurrent() override;

private:
    void startFind();
    // A short text, found in the days nearest today alone while it is
    // typed, is looked for in every day once the typing pauses.
    void findInEveryDay();
    void showResult(const AppointmentSearch::Matches& result);
    void moveCurrent(int steps);

    QLineEdit* m_findBox = nullptr;
    QListWidget* m_resultList = nullptr;
    QLabel* m_statusLabel = nullptr;

    Database* m_db = nullptr;
    std::optional<DayRecord> m_shownDay;
    QList<AppointmentSearch::Match> m_matches;
    QTimer m_typingPause;
};
