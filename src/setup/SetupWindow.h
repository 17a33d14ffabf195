#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

struct Settings;

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
    explicit SetupWindow(QWidget* parent = nullptr);

    void CmdOkay_Click();
    void CmdReset_Click();
    // Asks for PromptedCount names, one input box each, and shows the list.
    void PromptForNames();

    int promptedCount() const { return m_promptedCount; }
    // The provider list text that Okay stores.
    QString namesText() const { return m_namesText; }

    QLineEdit* box(const QString& name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void showNames(const QString& text);
    void enterInBox(QLineEdit* edit);
    void countEnter();
    void tellOfDaysKeepingTheirLayout(const Settings& stored);
    void moveUpDown(QWidget* from, bool down);
    // True when the key is consumed (dropped or typed in upper case).
    bool filterTypedKey(QLineEdit* edit, QKeyEvent* key);

    qint16 m_promptedCount = 0; // PromptedCount
    QStringList m_promptedNames; // PromptedNames, as typed
    QString m_namesText; // shown in Text6

    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_txtHrO = nullptr;
    QLineEdit* m_txtMinO = nullptr;
    QLineEdit* m_txtAM = nullptr;
    QLineEdit* m_txtHrC = nullptr;
    QLineEdit* m_txtMinC = nullptr;
    QLineEdit* m_txtPM = nullptr;
    QLineEdit* m_text4 = nullptr;
    QLineEdit* m_text5 = nullptr;
    QPushButton* m_cmdOkay = nullptr;
    QPushButton* m_cmdReset = nullptr;
    QPlainTextEdit* m_text6 = nullptr;
    QLabel* m_lblOpen = nullptr;
    QLabel* m_lblClose = nullptr;
};
