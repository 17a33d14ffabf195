#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class Database;
struct Settings;
class WindowHost;

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The setup window: the practice's word for its premises, the first and last
// appointment time, the slot length and the providers. Okay stores them and
// reopens the appointment window so the new layout is in force at once.
class SetupWindow : public QWidget
{
    Q_OBJECT
public:
    SetupWindow(Database& db, WindowHost& host, QWidget* parent = nullptr);

    void storeSettings();
    void resetToDefaults();
    // Asks for promptedCount() names, one input box each, and shows the list.
    void askForProviderNames();

    int promptedCount() const { return m_promptedCount; }
    // The provider list text that Okay stores.
    QString namesText() const { return m_namesText; }

    QLineEdit* box(const QString& name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildKeyNavigation();
    void loadSettings();
    void showNames(const QString& text);
    void countEnter();
    void tellOfDaysKeepingTheirLayout(const Settings& stored);
    // True when the key is consumed (dropped or typed in upper case).
    bool filterTypedKey(QLineEdit* edit, QKeyEvent* key);

    Database& m_db;
    WindowHost& m_host;
    qint16 m_promptedCount = 0; // how many names were last asked for
    QStringList m_promptedNames; // as typed
    QString m_namesText; // shown in the provider names box

    QLineEdit* m_locationEdit = nullptr;
    QLineEdit* m_openHourEdit = nullptr;
    QLineEdit* m_openMinuteEdit = nullptr;
    QLineEdit* m_openHalfEdit = nullptr;
    QLineEdit* m_closeHourEdit = nullptr;
    QLineEdit* m_closeMinuteEdit = nullptr;
    QLineEdit* m_closeHalfEdit = nullptr;
    QLineEdit* m_slotMinutesEdit = nullptr;
    QLineEdit* m_providerCountEdit = nullptr;
    QPushButton* m_okayButton = nullptr;
    QPushButton* m_resetButton = nullptr;
    QPlainTextEdit* m_providerNamesText = nullptr;
    QLabel* m_openTimeValue = nullptr;
    QLabel* m_closeTimeValue = nullptr;
    QLabel* m_refusalLabel = nullptr; // why Okay stored nothing, below the failing box's row
};
