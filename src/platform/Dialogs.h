#pragma once

#include "core/Result.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

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
    static void resetRecord();
};
