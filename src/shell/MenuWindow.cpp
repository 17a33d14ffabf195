#include "shell/MenuWindow.h"

#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "ui/KeyNavigator.h"
#include "ui/WindowHost.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

const QString MenuWindow::ExitTitle = QStringLiteral("Back-up Files");
const QString MenuWindow::ExitTextByKeyboard = QStringLiteral(
    "Would you like to back-up your files now? Regular files back-up will minimize loss of data in case your hard "
    "disk crashes.");
const QString MenuWindow::ExitTextByMouse = QStringLiteral(
    "Would you like to back-up your files now? Regular files back-up will minimize loss of data just in case your "
    "hard disk crashes.");

namespace {
bool isChoiceKey(int keyAscii)
{
    return keyAscii == 13 || keyAscii == 32;
}

int asciiOf(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Space:
        return 32;
    default:
        return e->text().isEmpty() ? 0 : e->text().at(0).unicode();
    }
}

struct EntrySpec
{
    const char* name;
    const char* caption;
    QRect twips;
};

// In tab order.
const EntrySpec EntrySpecs[] = {
    {"appointmentsEntry", "  Appointments", QRect(2220, 720, 2250, 615)},
    {"setupEntry", "  Setup/Customize", QRect(2220, 1800, 2370, 660)},
    {"backupEntry", "  Back-up/Restore files", QRect(2220, 2880, 2850, 660)},
    {"orderEntry", "  Place Order", QRect(2220, 3960, 2460, 555)},
    {"exitEntry", "  Exit", QRect(2220, 4920, 2460, 555)},
};
} // namespace

MenuWindow::MenuWindow(WindowHost& host, QWidget* parent)
    : QWidget(parent)
    , m_host(host)
{
    setObjectName(QStringLiteral("mainMenu"));
    setWindowTitle(QStringLiteral("Main Menu"));
    buildControls();

    setFixedSize(Twips::size(6600, 6888));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MenuWindow::buildControls()
{
    QFont entryFont(QStringLiteral("Arial"));
    entryFont.setPointSize(11);
    entryFont.setBold(true);

    using K = void (MenuWindow::*)(int);
    using M = void (MenuWindow::*)();
    const std::array<std::pair<K, M>, 5> handlers = {{
        {&MenuWindow::appointmentsEntryKey, &MenuWindow::appointmentsEntryPressed},
        {&MenuWindow::setupEntryKey, &MenuWindow::setupEntryPressed},
        {&MenuWindow::backupEntryKey, &MenuWindow::backupEntryPressed},
        {&MenuWindow::orderEntryKey, &MenuWindow::orderEntryPressed},
        {&MenuWindow::exitEntryKey, &MenuWindow::exitEntryPressed},
    }};

    QWidget* previous = nullptr;
    QList<QWidget*> entryButtons;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const EntrySpec& spec = EntrySpecs[i];
        auto* b = new QRadioButton(QString::fromLatin1(spec.caption), this);
        b->setObjectName(QString::fromLatin1(spec.name));
        b->setGeometry(Twips::rect(spec.twips.x(), spec.twips.y(), spec.twips.width(), spec.twips.height()));
        b->setFont(entryFont);
        QPalette pal = b->palette();
        pal.setColor(QPalette::WindowText, Qt::blue);
        pal.setColor(QPalette::ButtonText, Qt::blue);
        b->setPalette(pal);
        b->installEventFilter(this);
        m_entries[i] = {b, handlers[i].first, handlers[i].second};
        entryButtons.append(b);
        if (previous)
            setTabOrder(previous, b);
        previous = b;
    }

    m_readmeButton = new QPushButton(QStringLiteral("Readme.txt/License Agreement"), this);
    m_readmeButton->setObjectName(QStringLiteral("readmeButton"));
    m_readmeButton->setGeometry(Twips::rect(3720, 6240, 2652, 252));
    QFont small(QStringLiteral("Arial"));
    small.setPointSize(8);
    m_readmeButton->setFont(small);
    connect(m_readmeButton, &QPushButton::clicked, this, &MenuWindow::showReadme);
    setTabOrder(previous, m_readmeButton);

    // The arrows go round the entries in tab order and open nothing; Enter
    // and Space on an entry are its choice keys (eventFilter).
    auto* keys = new KeyNavigator(this, KeyNavigator::column(entryButtons), KeyNavigator::Ends::WrapAround,
        KeyNavigator::LeftRightToo | KeyNavigator::MoveLikeTab);
    keys->setEnter({m_readmeButton}, KeyNavigator::press());

    // The entry with the focus is the chosen one, so that the menu always
    // shows where Enter acts, from the start on.
    m_entries[0].button->setChecked(true);
    m_entries[0].button->setFocus();
}

bool MenuWindow::eventFilter(QObject* watched, QEvent* e)
{
    for (const Entry& entry : m_entries) {
        if (watched != entry.button)
            continue;
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
            entry.button->setFocus(Qt::MouseFocusReason);
            (this->*entry.mouseDown)();
            return true;
        }
        if (e->type() == QEvent::MouseButtonRelease)
            return true;
        if (e->type() == QEvent::FocusIn)
            entry.button->setChecked(true);
        if (e->type() == QEvent::KeyPress) {
            const int ascii = asciiOf(static_cast<QKeyEvent*>(e));
            if (isChoiceKey(ascii)) {
                (this->*entry.keyPress)(ascii);
                return true;
            }
        }
        break;
    }
    return QWidget::eventFilter(watched, e);
}

void MenuWindow::appointmentsEntryKey(int keyAscii)
{
    if (isChoiceKey(keyAscii))
        showAppointments();
}

void MenuWindow::backupEntryKey(int keyAscii)
{
    if (isChoiceKey(keyAscii))
        showBackup();
}

void MenuWindow::setupEntryKey(int keyAscii)
{
    if (isChoiceKey(keyAscii))
        showSetup();
}

void MenuWindow::orderEntryKey(int keyAscii)
{
    if (isChoiceKey(keyAscii))
        showOrder();
}

void MenuWindow::exitEntryKey(int keyAscii)
{
    if (isChoiceKey(keyAscii))
        exitPrompt(Chosen::ByKeyboard);
}

void MenuWindow::appointmentsEntryPressed()
{
    showAppointments();
}

void MenuWindow::backupEntryPressed()
{
    showBackup();
}

void MenuWindow::setupEntryPressed()
{
    showSetup();
}

void MenuWindow::orderEntryPressed()
{
    showOrder();
}

void MenuWindow::exitEntryPressed()
{
    exitPrompt(Chosen::ByMouse);
}

void MenuWindow::showReadme()
{
    m_host.open(Window::Readme);
    m_host.close(Window::Menu);
}

void MenuWindow::showAppointments()
{
    m_host.open(Window::Appointments);
}

void MenuWindow::showSetup()
{
    m_host.open(Window::Setup);
}

void MenuWindow::showBackup()
{
    m_host.setExitAfterBackup(false);
    m_host.open(Window::Backup);
    m_host.close(Window::Menu);
}

void MenuWindow::showOrder()
{
    m_host.open(Window::Order);
    m_host.close(Window::Menu);
}

void MenuWindow::exitPrompt(Chosen how)
{
    const QString text = how == Chosen::ByKeyboard ? ExitTextByKeyboard : ExitTextByMouse;
    const Dialogs::Button answer
        = Dialogs::message(this, text, Dialogs::Yes | Dialogs::No, Dialogs::Yes, Dialogs::Icon::Question, ExitTitle);
    if (answer == Dialogs::Yes) {
        m_host.setExitAfterBackup(true);
        m_host.open(Window::Backup);
        m_host.close(Window::Appointments);
        m_host.close(Window::Menu);
        return;
    }
    // The appointment window saves its day as it closes. When that save
    // failed and the user chose not to retry, the program must not end: the
    // unsaved page would be lost.
    if (!m_host.close(Window::Appointments))
        return;
    m_host.close(Window::Menu);
    m_host.endProgram();
}
