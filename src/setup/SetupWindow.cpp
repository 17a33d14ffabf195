#include "setup/SetupWindow.h"

#include "appointments/DayPlacement.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "setup/SettingsRules.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {
QFont windowFace()
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    f.setBold(true);
    return f;
}

QFont entryFace()
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(12);
    f.setBold(true);
    return f;
}

bool isTyped(const QKeyEvent* key)
{
    // Shortcuts (copy, paste, undo) and keys without a character, such as the
    // arrows, Delete and Tab, are not typed characters.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return c.unicode() >= 0x20 && c.unicode() != 0x7f;
}

bool allDigits(const QString& text, QChar highest)
{
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > highest)
            return false;
    }
    return true;
}
} // namespace

SetupWindow::SetupWindow(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("setupWindow"));
    setWindowTitle(QStringLiteral("Set-up"));
    setFont(windowFace());
    buildControls();
    setFixedSize(Twips::size(7872, 7908));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    Form_Load();
}

QLineEdit* SetupWindow::box(const QString& name) const
{
    return findChild<QLineEdit*>(name);
}

void SetupWindow::buildControls()
{
    struct LabelSpec
    {
        const char* name;
        const char* text;
        int left, top, width, height; // width 0: sized to the text
    };
    static const LabelSpec labels[] = {
        {"Label1", "Please supply the following information to customize the application:", 330, 135, 7170, 240},
        {"Label2", "1.  How would you describe your service location?           (e.g. Clinic, Office, Center, Agency)",
            360, 795, 4665, 540},
        {"Label3", "2. Time for first appointment  (e.g. 07:30 AM, 08:00 AM ):", 360, 1920, 4905, 270},
        {"Label4", "3. Time for last appointment (e.g. 05:00 PM, 05:30 PM)", 360, 2925, 4905, 270},
        {"Label5", "4.  Time alloted for each appointment in minutes:                (Range: 10 to 240 )", 360, 3960,
            4635, 600},
        {"Label6", "5.  Number of service providers: ( Range: 1 to 8 )", 360, 5070, 4300, 300},
        {"Label7", "Names of Service Providers:", 720, 6000, 2055, 255},
        {"Label8", "Hr", 5860, 1680, 0, 0},
        {"Label11", "Min", 6270, 1680, 0, 0},
        {"Label12", "AM", 6720, 1680, 0, 0},
        {"Label13", "Hr", 5880, 2640, 0, 0},
        {"Label14", "Min", 6270, 2640, 0, 0},
        {"Label15", "PM", 6720, 2640, 0, 0},
    };
    for (const LabelSpec& spec : labels) {
        auto* l = new QLabel(QString::fromLatin1(spec.text), this);
        l->setObjectName(QString::fromLatin1(spec.name));
        l->setTextFormat(Qt::PlainText);
        if (spec.width > 0) {
            l->setWordWrap(true);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            QRect r = Twips::rect(spec.left, spec.top, spec.width, spec.height);
            // Where the face runs wider than designed, a label takes another
            // line rather than losing its last words.
            r.setHeight(std::max(r.height(), l->heightForWidth(r.width())));
            l->setGeometry(r);
        } else {
            l->move(Twips::point(spec.left, spec.top));
            l->adjustSize();
        }
    }

    auto makeBox = [this](const char* name, int left, int top, int width, int height, bool entryFont) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(Twips::rect(left, top, width, height));
        e->setFont(entryFont ? entryFace() : windowFace());
        QPalette pal = e->palette();
        pal.setColor(QPalette::Text, Qt::blue);
        e->setPalette(pal);
        e->setTextMargins(0, 0, 0, 0);
        e->installEventFilter(this);
        return e;
    };
    m_text1 = makeBox("Text1", 5790, 840, 1305, 390, true);
    m_txtHrO = makeBox("txtHrO", 5790, 1900, 400, 420, true);
    m_txtMinO = makeBox("txtMinO", 6220, 1900, 400, 420, true);
    m_txtAM = makeBox("txtAM", 6660, 1900, 450, 420, false);
    m_txtHrC = makeBox("txtHrC", 5790, 2880, 400, 420, true);
    m_txtMinC = makeBox("txtMinC", 6220, 2880, 400, 420, true);
    m_txtPM = makeBox("txtPM", 6660, 2880, 450, 420, false);
    m_text4 = makeBox("Text4", 5790, 3960, 550, 420, true);
    m_text5 = makeBox("Text5", 5790, 5055, 400, 420, true);

    auto makeButton = [this](const char* name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(Twips::rect(left, 7050, 1500, 400));
        b->setAutoDefault(false);
        b->installEventFilter(this);
        return b;
    };
    m_cmdOkay = makeButton("CmdOkay", QStringLiteral("Okay"), 1695);
    m_cmdReset = makeButton("CmdReset", QStringLiteral("Reset"), 4785);
    connect(m_cmdOkay, &QPushButton::clicked, this, &SetupWindow::CmdOkay_Click);
    connect(m_cmdReset, &QPushButton::clicked, this, &SetupWindow::CmdReset_Click);

    m_text6 = new QPlainTextEdit(this);
    m_text6->setObjectName(QStringLiteral("Text6"));
    m_text6->setGeometry(Twips::rect(2880, 5760, 4260, 975));
    m_text6->setReadOnly(true);
    m_text6->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text6->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text6->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text6->setFont(entryFace());
    m_text6->setFocusPolicy(Qt::ClickFocus); // no tab stop
    QPalette grey = m_text6->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Button));
    grey.setColor(QPalette::Text, Qt::blue);
    m_text6->setPalette(grey);

    // The stored time texts; the time boxes are filled from them.
    m_lblOpen = new QLabel(this);
    m_lblOpen->setObjectName(QStringLiteral("lblOpen"));
    m_lblOpen->setGeometry(Twips::rect(7200, 1920, 615, 375));
    m_lblOpen->hide();
    m_lblClose = new QLabel(this);
    m_lblClose->setObjectName(QStringLiteral("lblClose"));
    m_lblClose->setGeometry(Twips::rect(7200, 2880, 615, 375));
    m_lblClose->hide();

    QWidget* order[] = {m_text1, m_txtHrO, m_txtMinO, m_txtAM, m_txtHrC, m_txtMinC, m_txtPM, m_text4, m_text5,
        m_cmdOkay, m_cmdReset, m_text6};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void SetupWindow::Form_Load()
{
    Settings s;
    for (;;) {
        const StoreStatus st = SettingsStore(*Database::current()).read(s);
        if (st.ok())
            break;
        if (!Dialogs::askRetry(this, st.message)) {
            // Without the record there is nothing to edit: Okay would store
            // whatever the boxes happen to hold.
            QTimer::singleShot(0, this, &QWidget::close);
            return;
        }
    }
    m_text1->setText(s.location);
    m_lblOpen->setText(s.open);
    m_lblClose->setText(s.close);
    m_text4->setText(QString::number(s.timeslot));
    m_text5->setText(QString::number(s.listno));
    showNames(s.names);

    const SettingsRules::TimeParts open = SettingsRules::splitTimeText(m_lblOpen->text());
    m_txtHrO->setText(open.hour);
    m_txtMinO->setText(open.minutes);
    m_txtAM->setText(open.ampm);
    const SettingsRules::TimeParts close = SettingsRules::splitTimeText(m_lblClose->text());
    m_txtHrC->setText(close.hour);
    m_txtMinC->setText(close.minutes);
    m_txtPM->setText(close.ampm);

    m_promptedCount = static_cast<qint16>(SettingsRules::leadingNumber(m_text5->text()));
    m_text1->setFocus();
}

void SetupWindow::showNames(const QString& text)
{
    m_namesText = text;
    m_text6->setPlainText(text);
}

void SetupWindow::PromptForNames()
{
    m_promptedNames.clear();
    for (int i = 1; i <= m_promptedCount; ++i) {
        const QString prompt = QStringLiteral("Please enter name of service provider %1").arg(i);
        QString name;
        for (;;) {
            name = Dialogs::input(this, prompt, QStringLiteral("Setup"), QString(), QPoint(3200, 6200))
                       .value_or(QString());
            if (SettingsRules::nameAcceptable(name))
                break;
            Dialogs::inform(this, QStringLiteral("A provider's name cannot contain \"-\"."));
        }
        m_promptedNames.append(name);
    }
    showNames(SettingsRules::composeNames(m_promptedNames));
}

void SetupWindow::CmdReset_Click()
{
    const Settings d = Settings::defaults();
    m_text1->setText(d.location);
    m_txtHrO->setText(QStringLiteral("08"));
    m_txtMinO->setText(QStringLiteral("00"));
    m_txtAM->setText(QStringLiteral("AM"));
    m_txtHrC->setText(QStringLiteral("05"));
    m_txtMinC->setText(QStringLiteral("00"));
    m_txtPM->setText(QStringLiteral("PM"));
    m_text4->setText(QString::number(d.timeslot));
    m_text5->setText(QString::number(d.listno));
    m_promptedCount = static_cast<qint16>(d.listno);
    showNames(Settings::defaultNames());
    m_text1->setFocus();
}

void SetupWindow::CmdOkay_Click()
{
    const SettingsRules::SetupInput input {m_txtHrO->text(), m_txtMinO->text(), m_txtHrC->text(), m_txtMinC->text(),
        m_text4->text(), m_text5->text(), m_txtAM->text(), m_txtPM->text()};
    QLineEdit* failing = nullptr;
    switch (SettingsRules::check(input)) {
    case SettingsRules::Field::None:
        break;
    case SettingsRules::Field::HourOpen:
        failing = m_txtHrO;
        break;
    case SettingsRules::Field::HourClose:
        failing = m_txtHrC;
        break;
    case SettingsRules::Field::MinOpen:
        failing = m_txtMinO;
        break;
    case SettingsRules::Field::MinClose:
        failing = m_txtMinC;
        break;
    case SettingsRules::Field::Slot:
        failing = m_text4;
        break;
    case SettingsRules::Field::Count:
        failing = m_text5;
        break;
    }
    if (failing) {
        failing->setFocus();
        return;
    }

    m_txtAM->setText(SettingsRules::correctAmPm(m_txtAM->text(), true));
    m_txtPM->setText(SettingsRules::correctAmPm(m_txtPM->text(), false));

    const int count = SettingsRules::leadingNumber(m_text5->text());
    if (count != m_promptedCount) {
        m_promptedCount = static_cast<qint16>(count);
        PromptForNames();
    }

    m_lblOpen->setText(SettingsRules::composeTimeText(m_txtHrO->text(), m_txtMinO->text(), m_txtAM->text()));
    m_lblClose->setText(SettingsRules::composeTimeText(m_txtHrC->text(), m_txtMinC->text(), m_txtPM->text()));

    Settings s;
    s.location = m_text1->text();
    s.open = m_lblOpen->text();
    s.close = m_lblClose->text();
    s.timeslot = SettingsRules::leadingNumber(m_text4->text());
    s.listno = count;
    s.names = m_namesText;
    for (;;) {
        const StoreStatus st = SettingsStore(*Database::current()).writeLayout(s);
        if (st.ok())
            break;
        if (!Dialogs::askRetry(this, st.message))
            return;
    }
    tellOfDaysKeepingTheirLayout(s);

    // The appointment window saves its day as it closes; if it cannot, it
    // stays as it is and so does this window.
    if (!Windows::close(Window::Appointments))
        return;
    if (!Windows::open(Window::Appointments))
        return;
    close();
}

// Booked days whose text would not all find its place in the new layout keep
// the one they were booked in; the user is told how many, once.
void SetupWindow::tellOfDaysKeepingTheirLayout(const Settings& stored)
{
    QList<DayRecord> days;
    if (!DayStore(*Database::current()).readAll(days).ok())
        return;
    const int kept = DayPlacement::daysKeepingTheirLayout(days, Clock::today(), stored);
    if (kept == 0)
        return;
    Dialogs::inform(this,
        kept == 1 ? QStringLiteral("1 booked day from today on keeps its earlier times and providers, so that none "
                                   "of its appointments moves or is lost.")
                  : QStringLiteral("%1 booked days from today on keep their earlier times and providers, so that "
                                   "none of their appointments moves or is lost.")
                        .arg(kept));
}

void SetupWindow::countEnter()
{
    if (m_text5->text().isEmpty()) {
        Dialogs::beep();
        return;
    }
    // Refused here as Okay would refuse it, before anyone types in names for
    // a count that can never be stored.
    const int count = SettingsRules::leadingNumber(m_text5->text());
    if (!SettingsRules::countAcceptable(count)) {
        Dialogs::beep();
        m_text5->setFocus();
        return;
    }
    m_promptedCount = static_cast<qint16>(count);
    PromptForNames();
    m_cmdOkay->setFocus();
}

void SetupWindow::enterInBox(QLineEdit* edit)
{
    if (edit == m_text5) {
        countEnter();
        return;
    }
    if (edit->text().isEmpty())
        return;
    QLineEdit* const chain[] = {m_text1, m_txtHrO, m_txtMinO, m_txtAM, m_txtHrC, m_txtMinC, m_txtPM, m_text4, m_text5};
    for (size_t i = 0; i + 1 < std::size(chain); ++i) {
        if (chain[i] == edit) {
            chain[i + 1]->setFocus();
            return;
        }
    }
}

void SetupWindow::moveUpDown(QWidget* from, bool down)
{
    struct Move
    {
        QWidget* from;
        QWidget* up;
        QWidget* down;
    };
    const Move moves[] = {
        {m_text1, nullptr, m_txtHrO},
        {m_txtHrO, m_text1, m_txtHrC},
        {m_txtMinO, m_text1, m_txtMinC},
        {m_txtAM, m_text1, m_txtPM},
        {m_txtHrC, m_txtHrO, m_text4},
        {m_txtMinC, m_txtMinO, m_text4},
        {m_txtPM, m_txtAM, m_text4},
        {m_text4, m_txtHrC, m_text5},
        {m_text5, m_text4, nullptr},
        {m_cmdOkay, m_text5, nullptr},
        {m_cmdReset, m_text5, nullptr},
    };
    if (from == m_text5 && down) {
        countEnter();
        return;
    }
    for (const Move& m : moves) {
        if (m.from != from)
            continue;
        if (QWidget* to = down ? m.down : m.up)
            to->setFocus();
        return;
    }
}

bool SetupWindow::filterTypedKey(QLineEdit* edit, QKeyEvent* key)
{
    if (key->key() == Qt::Key_Backspace || !isTyped(key))
        return false;
    const QString text = key->text();
    if (edit == m_txtAM || edit == m_txtPM) {
        const QString upper = text.toUpper();
        if (upper == text)
            return false;
        edit->insert(upper);
        return true;
    }
    QChar highest;
    if (edit == m_txtHrO || edit == m_txtMinO || edit == m_txtHrC || edit == m_txtMinC || edit == m_text4)
        highest = QLatin1Char('9');
    else if (edit == m_text5)
        highest = QLatin1Char('8');
    else
        return false;
    if (allDigits(text, highest))
        return false;
    Dialogs::beep();
    return true;
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;

    if (auto* button = qobject_cast<QPushButton*>(watched)) {
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            button->click();
            return true;
        }
        if (plain && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveUpDown(button, key->key() == Qt::Key_Down);
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }

    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return QWidget::eventFilter(watched, event);
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        enterInBox(edit);
        return true;
    }
    if (plain && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        moveUpDown(edit, key->key() == Qt::Key_Down);
        return true;
    }
    return filterTypedKey(edit, key);
}
