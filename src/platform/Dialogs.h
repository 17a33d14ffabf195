#pragma once

#include "core/Result.h"

#include <QElapsedTimer>
#include <QList>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
class ProgressWindow;

// Every modal thing the program shows goes through here: message boxes, the
// input box, the folder dialog and the beep. Tests switch on test mode, queue the answers and
// read back what was shown, so no real dialog ever blocks a test.
class Dialogs
{
public:
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };
    enum class Icon { None, Information, Question, Warning, Critical };

    struct Shown
    {
        QString text;
        QString title;
        Icon icon = Icon::None;
        int buttons = Ok;
        Button defaultButton = Ok;
    };

    static QString appTitle();

    static Button message(QWidget* parent, const QString& text, int buttons, Button defaultButton, Icon icon,
        const QString& title = appTitle());
    static void inform(QWidget* parent, const QString& text, const QString& title = appTitle());
    // Runs step until it succeeds, asking after each failure the prompt used
    // throughout: the reason followed by ". Retry?", Yes (default) and No,
    // question icon, the program's title. True once it succeeded, false when
    // the user answered No.
    [[nodiscard]] static bool retryUntilDone(QWidget* parent, const std::function<Result()>& step);
    // An input box; nullopt when cancelled. The position is in twips from the
    // screen's top-left corner.
    static std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
        const QString& defaultText, QPoint positionTwips = QPoint(-1, -1));
    // The desktop's folder dialog, opened on startFolder; nullopt when
    // cancelled.
    static std::optional<QString> folder(QWidget* parent, const QString& title, const QString& startFolder);
    static void beep();

    // A small window with a line of text and a bar of the work done out of
    // all of it (counted in unit, e.g. "days"), for work the program does in this thread before any other
    // window is open. It appears only when the work lasts more than a moment
    // (ProgressDelayMillis), and advance() keeps it drawn meanwhile, at most
    // every ProgressRedrawMillis; what the user types or clicks then reaches
    // no window. It goes when the Progress does.
    class Progress
    {
    public:
        Progress(const QString& text, const QString& unit);
        ~Progress();
        Progress(const Progress&) = delete;
        Progress& operator=(const Progress&) = delete;
        void advance(qint64 done, qint64 total);

    private:
        QString m_text;
        QString m_unit;
        QElapsedTimer m_started;
        QElapsedTimer m_drawn;
        bool m_shown = false;
        std::unique_ptr<ProgressWindow> m_window;
    };
    static constexpr int ProgressDelayMillis = 500;
    static constexpr int ProgressRedrawMillis = 100;

    // Test seam.
    static void setTestMode(bool on);
    static bool testMode();
    static void pushAnswer(Button answer);
    // The answer is given after whileShown has run, as a person does
    // something else before answering (e.g. ends the other program's lock).
    static void pushAnswer(Button answer, std::function<void()> whileShown);
    static void pushInput(std::optional<QString> text);
    static void pushFolder(std::optional<QString> folder);
    static const QList<Shown>& shown();
    static const QStringList& prompts();
    static int beeps();
    // The texts of the progress windows that appeared; how long work must
    // last before one does (ProgressDelayMillis until set again).
    static const QStringList& progressShown();
    static void setProgressDelay(int millis);
    static void resetRecord();
};
