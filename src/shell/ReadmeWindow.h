#pragma once

#include "core/Settings.h"

#include <QWidget>

class Database;
class QPlainTextEdit;
class QPushButton;
class WindowHost;

// Shows the read-me document, then at the press of its button the licence
// agreement; the next press returns to the main menu. It has no close box:
// the button is the way out.
class ReadmeWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString ToLicence; // the button while the read-me is shown
    static const QString ToMenu; // the button while the licence is shown

    ReadmeWindow(Database& db, WindowHost& host, QWidget* parent = nullptr);

    void showNextDocument();

    QPlainTextEdit* text() const { return m_documentText; }
    QPushButton* button() const { return m_nextButton; }

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void buildControls();
    void showDocument(const QString& caption, QString Settings::*field);

    Database& m_db;
    WindowHost& m_host;
    QPlainTextEdit* m_documentText = nullptr;
    QPushButton* m_nextButton = nullptr;
};
