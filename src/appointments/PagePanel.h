#pragma once

#include <QFrame>
#include <QPointer>

// A panel of the appointment window that lies over the lower part of the day
// page (its designed height tall, wherever the page is laid out) and takes
// the focus while it is open: the find panel and the history panel. On
// closing, the focus goes back to where it was when the panel opened, or to
// the fallback when that widget is gone or hidden.
class PagePanel : public QFrame
{
    Q_OBJECT
public:
    explicit PagePanel(QWidget* parent = nullptr);

    void setFallbackFocus(QWidget* widget) { m_fallbackFocus = widget; }
    void lieOver(QWidget* page);
    // Hides the panel and gives the focus back.
    virtual void closePanel() = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The keys every panel has in the widget that holds its focus: Enter
    // chooses the current line, Esc closes the panel (no shortcut of the
    // window there), Tab stays (the panel has one place for the focus).
    // Whether event was one of them.
    bool handlePanelKey(QEvent* event);
    virtual void chooseCurrent() = 0;
    // Keeps the widget that has the focus now, unless it lies in the panel.
    void rememberFocus();
    // Forgets where the focus was, so that closing leaves it alone.
    void forgetFocus() { m_returnFocus = nullptr; }
    void restoreFocus();

private:
    QPointer<QWidget> m_returnFocus;
    QPointer<QWidget> m_fallbackFocus;
    QWidget* m_page = nullptr;
};
