#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDate;
class QLabel;

// The strip above the day's page: the shown date and weekday, and the
// selector that tells whether the practice is open or closed that day. Tab
// in the selector chooses what it shows (closedChosen).
class DayStatusBar : public QWidget
{
    Q_OBJECT
public:
    explicit DayStatusBar(QWidget* parent = nullptr);

    // The selector's two captions name the practice's location.
    void setLocation(const QString& location);
    void showDate(const QDate& date);
    void showClosed(bool closed);
    // Closed as merged in from another desk: someone choosing in the
    // selector keeps their choice in view.
    void mergeClosed(bool closed);
    bool isClosed() const;
    QComboBox* selector() const { return m_selector; }

signals:
    void closedChosen(bool closed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_shownDate = nullptr;
    QLabel* m_shownWeekday = nullptr;
    QComboBox* m_selector = nullptr;
    QCheckBox* m_closedCheck = nullptr; // the day as shown; the selector may be mid-choice
};
