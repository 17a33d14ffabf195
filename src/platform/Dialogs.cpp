#include "platform/Dialogs.h"

#include "Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QQueue>
#include <QVBoxLayout>
#include <limits>

#include "platform/Twips.h"

namespace {
bool g_testMode = false;
struct Answer
{
    Dialogs::Button button;
    std::function<void()> whileShown;
};
QQueue<Answer> g_answers;
QQueue<std::optional<QString>> g_inputs;
QQueue<std::optional<QString>> g_folders;
QList<Dialogs::Shown> g_shown;
QStringList g_prompts;
int g_beeps = 0;
QStringList g_progressShown;
int g_progressDelay = Dialogs::ProgressDelayMillis;

QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton toQt(Dialogs::Button b)
{
    switch (b) {
    case Dialogs::Ok:
        return QMessageBox::Ok;
    case Dialogs::Cancel:
        return QMessageBox::Cancel;
    case Dialogs::Yes:
        return QMessageBox::Yes;
    case Dialogs::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}
} // namespace

// The window of a Dialogs::Progress: the work cannot be stopped half-way, so
// it cannot be closed either.
class ProgressWindow : public QWidget
{
public:
    ProgressWindow(const QString& text, const QString& unit)
        : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    {
        setObjectName(QStringLiteral("progressWindow"));
        setWindowTitle(Dialogs::appTitle());
        setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(text, this));
        bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("progressBar"));
        bar->setFormat(QStringLiteral("%v of %m ") + unit);
        layout->addWidget(bar);
        setFixedSize(Twips::toPixels(5400), sizeHint().height());
    }
    QProgressBar* bar = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

Dialogs::Progress::Progress(const QString& text, const QString& unit)
    : m_text(text)
    , m_unit(unit)
{
    m_started.start();
}

Dialogs::Progress::~Progress() = default;

void Dialogs::Progress::advance(qint64 done, qint64 total)
{
    if (m_started.elapsed() < g_progressDelay || (m_shown && m_drawn.elapsed() < ProgressRedrawMillis))
        return;
    if (!m_shown) {
        m_shown = true;
        g_progressShown.append(m_text);
        if (!g_testMode) {
            m_window = std::make_unique<ProgressWindow>(m_text, m_unit);
            m_window->show();
        }
    }
    m_drawn.start();
    if (!m_window)
        return;
    m_window->bar->setRange(0, int(qMin<qint64>(total, std::numeric_limits<int>::max())));
    m_window->bar->setValue(int(qMin(done, total)));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString Dialogs::appTitle()
{
    return QStringLiteral(LEDGERLY_TITLE);
}

Dialogs::Button Dialogs::message(
    QWidget* parent, const QString& text, int buttons, Button defaultButton, Icon icon, const QString& title)
{
    g_shown.append({text, title, icon, buttons, defaultButton});
    if (g_testMode) {
        if (g_answers.isEmpty())
            return defaultButton;
        const Answer answer = g_answers.dequeue();
        if (answer.whileShown)
            answer.whileShown();
        return answer.button;
    }

    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, parent);
    for (Button b : {Ok, Yes, No, Cancel}) {
        if (buttons & b)
            box.addButton(toQt(b));
    }
    box.setDefaultButton(toQt(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Ok;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    default:
        // Closed by Esc or the frame: the safe answer.
        return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    }
}

void Dialogs::inform(QWidget* parent, const QString& text, const QString& title)
{
    message(parent, text, Ok, Ok, Icon::Information, title);
}

bool Dialogs::retryUntilDone(QWidget* parent, const std::function<Result()>& step)
{
    for (;;) {
        const Result outcome = step();
        if (outcome.ok())
            return true;
        QString reason = outcome.message.trimmed();
        while (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        if (message(parent, reason + QStringLiteral(". Retry?"), Yes | No, Yes, Icon::Question) != Yes)
            return false;
    }
}

std::optional<QString> Dialogs::input(
    QWidget* parent, const QString& prompt, const QString& title, const QString& defaultText, QPoint positionTwips)
{
    g_prompts.append(prompt);
    if (g_testMode)
        return g_inputs.isEmpty() ? std::nullopt : g_inputs.dequeue();

    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (positionTwips.x() >= 0)
        dialog.move(Twips::point(positionTwips.x(), positionTwips.y()));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> Dialogs::folder(QWidget* parent, const QString& title, const QString& startFolder)
{
    g_prompts.append(title);
    if (g_testMode)
        return g_folders.isEmpty() ? std::nullopt : g_folders.dequeue();
    const QString chosen = QFileDialog::getExistingDirectory(parent, title, startFolder);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void Dialogs::beep()
{
    ++g_beeps;
    if (!g_testMode)
        QApplication::beep();
}

void Dialogs::setTestMode(bool on)
{
    g_testMode = on;
}

bool Dialogs::testMode()
{
    return g_testMode;
}

void Dialogs::pushAnswer(Button answer)
{
    g_answers.enqueue({answer, {}});
}

void Dialogs::pushAnswer(Button answer, std::function<void()> whileShown)
{
    g_answers.enqueue({answer, std::move(whileShown)});
}

void Dialogs::pushInput(std::optional<QString> text)
{
    g_inputs.enqueue(std::move(text));
}

void Dialogs::pushFolder(std::optional<QString> folder)
{
    g_folders.enqueue(std::move(folder));
}

const QList<Dialogs::Shown>& Dialogs::shown()
{
    return g_shown;
}

const QStringList& Dialogs::prompts()
{
    return g_prompts;
}

int Dialogs::beeps()
{
    return g_beeps;
}

const QStringList& Dialogs::progressShown()
{
    return g_progressShown;
}

void Dialogs::setProgressDelay(int millis)
{
    g_progressDelay = millis;
}

void Dialogs::resetRecord()
{
    g_progressShown.clear();
    g_progressDelay = ProgressDelayMillis;
    g_answers.clear();
    g_inputs.clear();
    g_folders.clear();
    g_shown.clear();
    g_prompts.clear();
    g_beeps = 0;
}
