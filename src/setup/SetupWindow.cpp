#include "setup/SetupWindow.h"

#include "core/DayPlacement.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "setup/SettingsRules.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"
#include "ui/AltKeys.h"
#include "ui/KeyNavigator.h"
#include "ui/WindowHost.h"

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

SetupWindow::SetupWindow(Database& db, WindowHost& host, QWidget* parent)
    : QWidget(parent)
    , m_db(db)
    , m_host(host)
{
    setObjectName(QStringLiteral("setupWindow"));
    setWindowTitle(QStringLiteral("Set-up"));
    setFont(windowFace());
    buildControls();
    // As designed, or wider and taller where the boxes had to grow; the
    // margin right of and under the controls as on the left.
    const QRect used = childrenRect();
    const int margin = Twips::toPixels(360);
    setFixedSize(Twips::size(7872, 7908).expandedTo(QSize(used.right() + margin, used.bottom() + margin)));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    loadSettings();
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
        {"introLabel", "Please supply the following information to customize the application:", 330, 135, 7170, 240},
        {"locationLabel",
            "1.  How would you describe your service location?           (e.g. Clinic, Office, Center, Agency)", 360,
            795, 4665, 540},
        {"openTimeLabel", "2. Time for first appointment  (e.g. 07:30 AM, 08:00 AM ):", 360, 1920, 4905, 270},
        {"closeTimeLabel", "3. Time for last appointment (e.g. 05:00 PM, 05:30 PM)", 360, 2925, 4905, 270},
        {"slotMinutesLabel", "4.  Time alloted for each appointment in minutes:                (Range: 10 to 240 )",
            360, 3960, 4635, 600},
        {"providerCountLabel", "5.  Number of service providers: ( Range: 1 to 8 )", 360, 5070, 4300, 300},
        {"providerNamesLabel", "Names of Service Providers:", 720, 6000, 2055, 255},
        {"openHourLabel", "Hr", 5860, 1680, 0, 0},
        {"openMinuteLabel", "Min", 6270, 1680, 0, 0},
        {"openHalfLabel", "AM", 6720, 1680, 0, 0},
        {"closeHourLabel", "Hr", 5880, 2640, 0, 0},
        {"closeMinuteLabel", "Min", 6270, 2640, 0, 0},
        {"closeHalfLabel", "PM", 6720, 2640, 0, 0},
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
        AltKeys::keepOutOf(e);
        return e;
    };
    m_locationEdit = makeBox("locationEdit", 5790, 840, 1305, 390, true);
    // Wide enough for a location such as this one, whole.
    const int locationWidth = m_locationEdit->fontMetrics().horizontalAdvance(QStringLiteral("Physiotherapy Centre"))
        + Twips::toPixels(240);
    m_locationEdit->resize(std::max(m_locationEdit->width(), locationWidth), m_locationEdit->height());
    m_openHourEdit = makeBox("openHourEdit", 5790, 1900, 400, 420, true);
    m_openMinuteEdit = makeBox("openMinuteEdit", 6220, 1900, 400, 420, true);
    m_openHalfEdit = makeBox("openHalfEdit", 6660, 1900, 450, 420, false);
    m_closeHourEdit = makeBox("closeHourEdit", 5790, 2880, 400, 420, true);
    m_closeMinuteEdit = makeBox("closeMinuteEdit", 6220, 2880, 400, 420, true);
    m_closeHalfEdit = makeBox("closeHalfEdit", 6660, 2880, 450, 420, false);
    m_slotMinutesEdit = makeBox("slotMinutesEdit", 5790, 3960, 550, 420, true);
    m_providerCountEdit = makeBox("providerCountEdit", 5790, 5055, 400, 420, true);

    // The names wrap in a box as wide as the window allows, tall enough for
    // eight names of some length; the buttons go under it.
    m_providerNamesText = new QPlainTextEdit(this);
    m_providerNamesText->setObjectName(QStringLiteral("providerNamesText"));
    m_providerNamesText->setFont(entryFace());
    const QRect names = Twips::rect(2880, 5760, 4260, 975);
    const int namesRight = std::max(names.right(), m_locationEdit->geometry().right());
    const int namesHeight = 5 * m_providerNamesText->fontMetrics().lineSpacing() + Twips::toPixels(180);
    m_providerNamesText->setGeometry(
        names.left(), names.top(), namesRight - names.left() + 1, std::max(names.height(), namesHeight));
    const int buttonTop
        = std::max(Twips::toPixels(7050), m_providerNamesText->geometry().bottom() + Twips::toPixels(315));

    auto makeButton = [this, buttonTop](const char* name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(QRect(QPoint(Twips::toPixels(left), buttonTop), Twips::size(1500, 400)));
        b->setAutoDefault(false);
        return b;
    };
    m_okayButton = makeButton("okayButton", QStringLiteral("Okay"), 1695);
    m_resetButton = makeButton("resetButton", QStringLiteral("Reset"), 4785);
    connect(m_okayButton, &QPushButton::clicked, this, &SetupWindow::storeSettings);
    connect(m_resetButton, &QPushButton::clicked, this, &SetupWindow::resetToDefaults);

    m_providerNamesText->setReadOnly(true);
    m_providerNamesText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_providerNamesText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The last tab stop: the names can be read, and scrolled, from the keyboard.
    m_providerNamesText->setFocusPolicy(Qt::StrongFocus);
    m_providerNamesText->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_providerNamesText->setTabChangesFocus(true);
    QPalette grey = m_providerNamesText->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Button));
    grey.setColor(QPalette::Text, Qt::blue);
    m_providerNamesText->setPalette(grey);

    // The stored time texts; the time boxes are filled from them.
    m_openTimeValue = new QLabel(this);
    m_openTimeValue->setObjectName(QStringLiteral("openTimeValue"));
    m_openTimeValue->setGeometry(Twips::rect(7200, 1920, 615, 375));
    m_openTimeValue->hide();
    m_closeTimeValue = new QLabel(this);
    m_closeTimeValue->setObjectName(QStringLiteral("closeTimeValue"));
    m_closeTimeValue->setGeometry(Twips::rect(7200, 2880, 615, 375));
    m_closeTimeValue->hide();

    m_refusalLabel = new QLabel(this);
    m_refusalLabel->setObjectName(QStringLiteral("refusalLabel"));
    QPalette red = m_refusalLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_refusalLabel->setPalette(red);
    m_refusalLabel->hide();
    for (QLineEdit* box : findChildren<QLineEdit*>())
        connect(box, &QLineEdit::textEdited, m_refusalLabel, &QWidget::hide);

    QWidget* order[]
        = {m_locationEdit, m_openHourEdit, m_openMinuteEdit, m_openHalfEdit, m_closeHourEdit, m_closeMinuteEdit,
            m_closeHalfEdit, m_slotMinutesEdit, m_providerCountEdit, m_okayButton, m_resetButton, m_providerNamesText};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    buildKeyNavigation();
}

void SetupWindow::buildKeyNavigation()
{
    // Up and Down go to the box above or beneath; Enter in a box that holds
    // something moves on to the next.
    auto* keys = new KeyNavigator(this,
        {{m_locationEdit}, {m_openHourEdit, m_openMinuteEdit, m_openHalfEdit},
            {m_closeHourEdit, m_closeMinuteEdit, m_closeHalfEdit}, {m_slotMinutesEdit}, {m_providerCountEdit},
            {m_okayButton, m_resetButton}},
        KeyNavigator::Ends::Stop, KeyNavigator::PlainKeysOnly);
    keys->setEnter({m_locationEdit, m_openHourEdit, m_openMinuteEdit, m_openHalfEdit, m_closeHourEdit,
                       m_closeMinuteEdit, m_closeHalfEdit, m_slotMinutesEdit},
        KeyNavigator::moveOnWhenFilled());
    // Leaving the count by Enter or Down asks for the providers' names.
    keys->setEnter({m_providerCountEdit}, KeyNavigator::run([this] { countEnter(); }));
    keys->setDown(m_providerCountEdit, KeyNavigator::run([this] { countEnter(); }));
    keys->setEnter({m_okayButton, m_resetButton}, KeyNavigator::press());
}

void SetupWindow::loadSettings()
{
    Settings s;
    if (!Dialogs::retryUntilDone(this, [&] { return SettingsStore(m_db).read(s); })) {
        // Without the record there is nothing to edit: Okay would store
        // whatever the boxes happen to hold.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    m_locationEdit->setText(s.location);
    m_openTimeValue->setText(s.open);
    m_closeTimeValue->setText(s.close);
    m_slotMinutesEdit->setText(QString::number(s.slotMinutes));
    m_providerCountEdit->setText(QString::number(s.providerCount));
    showNames(s.names);

    const SettingsRules::TimeParts open = SettingsRules::splitTimeText(m_openTimeValue->text());
    m_openHourEdit->setText(open.hour);
    m_openMinuteEdit->setText(open.minutes);
    m_openHalfEdit->setText(open.ampm);
    const SettingsRules::TimeParts close = SettingsRules::splitTimeText(m_closeTimeValue->text());
    m_closeHourEdit->setText(close.hour);
    m_closeMinuteEdit->setText(close.minutes);
    m_closeHalfEdit->setText(close.ampm);

    m_promptedCount = static_cast<qint16>(SettingsRules::leadingNumber(m_providerCountEdit->text()));
    m_locationEdit->setFocus();
}

void SetupWindow::showNames(const QString& text)
{
    m_namesText = text;
    m_providerNamesText->setPlainText(text);
}

void SetupWindow::askForProviderNames()
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

void SetupWindow::resetToDefaults()
{
    const Settings d = Settings::defaults();
    m_locationEdit->setText(d.location);
    m_openHourEdit->setText(QStringLiteral("08"));
    m_openMinuteEdit->setText(QStringLiteral("00"));
    m_openHalfEdit->setText(QStringLiteral("AM"));
    m_closeHourEdit->setText(QStringLiteral("05"));
    m_closeMinuteEdit->setText(QStringLiteral("00"));
    m_closeHalfEdit->setText(QStringLiteral("PM"));
    m_slotMinutesEdit->setText(QString::number(d.slotMinutes));
    m_providerCountEdit->setText(QString::number(d.providerCount));
    m_promptedCount = static_cast<qint16>(d.providerCount);
    showNames(Settings::defaultNames());
    m_refusalLabel->hide();
    m_locationEdit->setFocus();
}

void SetupWindow::storeSettings()
{
    const SettingsRules::SetupInput input {m_openHourEdit->text(), m_openMinuteEdit->text(), m_closeHourEdit->text(),
        m_closeMinuteEdit->text(), m_slotMinutesEdit->text(), m_providerCountEdit->text(), m_openHalfEdit->text(),
        m_closeHalfEdit->text()};
    QLineEdit* failing = nullptr;
    switch (SettingsRules::check(input)) {
    case SettingsRules::Field::None:
        break;
    case SettingsRules::Field::HourOpen:
        failing = m_openHourEdit;
        break;
    case SettingsRules::Field::HourClose:
        failing = m_closeHourEdit;
        break;
    case SettingsRules::Field::MinOpen:
        failing = m_openMinuteEdit;
        break;
    case SettingsRules::Field::MinClose:
        failing = m_closeMinuteEdit;
        break;
    case SettingsRules::Field::Slot:
        failing = m_slotMinutesEdit;
        break;
    case SettingsRules::Field::Count:
        failing = m_providerCountEdit;
        break;
    }
    if (failing) {
        // In the row of the failing box, from the left edge of the questions.
        const QRect box = failing->geometry();
        const int left = Twips::point(360, 0).x();
        m_refusalLabel->setText(SettingsRules::refusalText(input));
        m_refusalLabel->setGeometry(left, box.bottom() + 2, width() - 2 * left, m_refusalLabel->sizeHint().height());
        m_refusalLabel->show();
        failing->setFocus();
        return;
    }
    m_refusalLabel->hide();

    m_openHalfEdit->setText(SettingsRules::correctAmPm(m_openHalfEdit->text(), true));
    m_closeHalfEdit->setText(SettingsRules::correctAmPm(m_closeHalfEdit->text(), false));

    const int count = SettingsRules::leadingNumber(m_providerCountEdit->text());
    if (count != m_promptedCount) {
        m_promptedCount = static_cast<qint16>(count);
        askForProviderNames();
    }

    m_openTimeValue->setText(
        SettingsRules::composeTimeText(m_openHourEdit->text(), m_openMinuteEdit->text(), m_openHalfEdit->text()));
    m_closeTimeValue->setText(
        SettingsRules::composeTimeText(m_closeHourEdit->text(), m_closeMinuteEdit->text(), m_closeHalfEdit->text()));

    Settings s;
    s.location = m_locationEdit->text();
    s.open = m_openTimeValue->text();
    s.close = m_closeTimeValue->text();
    s.slotMinutes = SettingsRules::leadingNumber(m_slotMinutesEdit->text());
    s.providerCount = count;
    s.names = m_namesText;
    if (!Dialogs::retryUntilDone(this, [&] { return SettingsStore(m_db).writeLayout(s); }))
        return;
    tellOfDaysKeepingTheirLayout(s);

    // The appointment window saves its day as it closes; if it cannot, it
    // stays as it is and so does this window.
    if (!m_host.close(Window::Appointments))
        return;
    if (!m_host.open(Window::Appointments))
        return;
    close();
}

// Booked days whose text would not all find its place in the new layout keep
// the one they were booked in; the user is told how many, once.
void SetupWindow::tellOfDaysKeepingTheirLayout(const Settings& stored)
{
    QList<DayRecord> days;
    if (!DayStore(m_db).readAll(days).ok())
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
    if (m_providerCountEdit->text().isEmpty()) {
        Dialogs::beep();
        return;
    }
    // Refused here as Okay would refuse it, before anyone types in names for
    // a count that can never be stored.
    const int count = SettingsRules::leadingNumber(m_providerCountEdit->text());
    if (!SettingsRules::countAcceptable(count)) {
        Dialogs::beep();
        m_providerCountEdit->setFocus();
        return;
    }
    m_promptedCount = static_cast<qint16>(count);
    askForProviderNames();
    m_okayButton->setFocus();
}

bool SetupWindow::filterTypedKey(QLineEdit* edit, QKeyEvent* key)
{
    if (key->key() == Qt::Key_Backspace || !isTyped(key))
        return false;
    const QString text = key->text();
    if (edit == m_openHalfEdit || edit == m_closeHalfEdit) {
        const QString upper = text.toUpper();
        if (upper == text)
            return false;
        edit->insert(upper);
        return true;
    }
    QChar highest;
    if (edit == m_openHourEdit || edit == m_openMinuteEdit || edit == m_closeHourEdit || edit == m_closeMinuteEdit
        || edit == m_slotMinutesEdit)
        highest = QLatin1Char('9');
    else if (edit == m_providerCountEdit)
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
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (event->type() != QEvent::KeyPress || !edit)
        return QWidget::eventFilter(watched, event);
    return filterTypedKey(edit, static_cast<QKeyEvent*>(event));
}
