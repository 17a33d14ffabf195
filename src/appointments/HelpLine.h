#pragma once

#include <QWidget>

class QLabel;

// The help under the day's page: a hint until F1 shows the help text, which
// stays until F2. The two keys act wherever the focus is in the window.
class HelpLine : public QWidget
{
    Q_OBJECT
public:
    explicit HelpLine(QWidget* parent = nullptr);

    void setTextShown(bool shown);

private:
    QLabel* m_hint = nullptr;
    QLabel* m_text = nullptr;
};
