#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTimer;

// The two memo pads beside the day's page, one shown at a time: the day's
// own memo and the fixed memo every day shares. Typing in a pad is reported
// once it pauses (typingPaused), so that the memo is stored while the day
// stays shown; texts merged in from elsewhere are no typing and leave the
// cursor where it was. A pad never keeps a tab character: Tab leaves it.
class MemoPads : public QWidget
{
    Q_OBJECT
public:
    // How long a pad waits after the last keystroke.
    static constexpr int PauseMillis = 2000;

    explicit MemoPads(QWidget* parent = nullptr);

    QPlainTextEdit* dailyPad() const { return m_dailyPad; }
    QPlainTextEdit* fixedPad() const { return m_fixedPad; }
    bool showsFixedPad() const;
    // Shows the fixed pad over the daily one, or the daily pad alone, with
    // the focus in it.
    void showPad(bool fixed);
    // New text for a pad that keeps its cursor, selection and scroll place.
    void mergeText(QPlainTextEdit* pad, const QString& text);
    // The pause starts again, for a store that is busy now.
    void waitAgain();

signals:
    void typingPaused();
    void tabPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void typed(QPlainTextEdit* pad);

    QPlainTextEdit* m_dailyPad = nullptr;
    QPlainTextEdit* m_fixedPad = nullptr;
    QLabel* m_fixedTitle = nullptr;
    QLabel* m_fixedHint = nullptr;
    QTimer* m_pause = nullptr;
    bool m_merging = false;
};
