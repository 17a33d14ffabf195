#include "order/OrderWindow.h"

#include "order/OrderFields.h"
#include "order/OrderFormPrint.h"
#include "order/VendorDetails.h"
#include "platform/Dialogs.h"
#include "platform/PrintJob.h"
#include "platform/Twips.h"
#include "store/OrderStore.h"
#include "ui/AltKeys.h"
#include "ui/KeyNavigator.h"
#include "ui/WindowHost.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QLabel* label(QWidget* parent, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->move(Twips::point(left, top));
    l->adjustSize();
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, QRect twips)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    return b;
}
} // namespace

OrderWindow::OrderWindow(Database& db, WindowHost& host, QWidget* parent)
    : QWidget(parent)
    , m_db(db)
    , m_host(host)
{
    setObjectName(QStringLiteral("orderWindow"));
    setWindowTitle(QStringLiteral("Order Form"));
    buildControls();
    loadRecord();
    m_boxes[0]->setFocus();
}

void OrderWindow::buildControls()
{
    resize(Twips::size(8388, 7908));

    label(this, QStringLiteral("To order the program, please supply the mailing details and print out this form:"), 840,
        240);

    QFont boxFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    boxFont.setPointSize(12);
    boxFont.setBold(true);
    // Created in tab order: the boxes, then the buttons.
    for (size_t i = 0; i < OrderFields.size(); ++i) {
        const OrderField& f = OrderFields[i];
        QLabel* l = label(this, QString::fromLatin1(f.windowLabel), 840, f.top);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(f.box));
        box->setGeometry(Twips::rect(2280, f.top, f.width, 330));
        box->setFont(boxFont);
        box->setStyleSheet(QStringLiteral("QLineEdit { color: blue; background-color: rgb(192,192,192); }"));
        box->installEventFilter(this);
        AltKeys::keepOutOf(box);
        l->move(l->x(), box->y() + (box->height() - l->height()) / 2);
        m_boxes[i] = box;
    }

    label(this, VendorDetails::ProductLine, 840, 6405);
    if (const QString price = VendorDetails::fromResources().priceLine(); !price.isEmpty())
        label(this, price, 840, 6765);

    m_saveButton = button(this, QStringLiteral("saveButton"), QStringLiteral("&Save"), QRect(2280, 7320, 900, 315));
    m_clearButton = button(this, QStringLiteral("clearButton"), QStringLiteral("C&lear"), QRect(3360, 7320, 900, 315));
    m_cancelButton
        = button(this, QStringLiteral("cancelButton"), QStringLiteral("&Cancel"), QRect(4440, 7320, 900, 315));
    m_printButton = button(this, QStringLiteral("printButton"), QStringLiteral("&Print"), QRect(5520, 7320, 900, 315));
    m_exitButton = button(this, QStringLiteral("exitButton"), QStringLiteral("E&xit"), QRect(6600, 7200, 960, 465));
    QFont exitFont = m_exitButton->font();
    exitFont.setPointSize(10);
    exitFont.setBold(true);
    m_exitButton->setFont(exitFont);

    connect(m_saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(m_clearButton, &QPushButton::clicked, this, &OrderWindow::clearForm);
    connect(m_cancelButton, &QPushButton::clicked, this, &OrderWindow::discardChanges);
    connect(m_printButton, &QPushButton::clicked, this, &OrderWindow::printForm);
    connect(m_exitButton, &QPushButton::clicked, this, &OrderWindow::leave);
    buildKeyNavigation();
}

void OrderWindow::buildKeyNavigation()
{
    // Up and Down walk the boxes, and Down from the last reaches Save; Up
    // from Print comes back to the last box.
    const QList<QWidget*> boxes(m_boxes.begin(), m_boxes.end());
    auto* keys = new KeyNavigator(this, KeyNavigator::column(boxes), KeyNavigator::Ends::Stop);
    keys->setDown(m_boxes.back(), KeyNavigator::focusOn(m_saveButton));
    keys->setUp(m_printButton, KeyNavigator::focusOn(m_boxes.back()));
    // Enter moves on like Tab; it never presses a button.
    keys->setEnter(boxes + QList<QWidget*> {m_saveButton, m_clearButton, m_cancelButton, m_printButton, m_exitButton},
        KeyNavigator::run([this] { focusNextPrevChild(true); }));
}

OrderRecord OrderWindow::record() const
{
    OrderRecord r;
    for (size_t i = 0; i < OrderFields.size(); ++i)
        r.*OrderFields[i].member = m_boxes[i]->text();
    return r;
}

void OrderWindow::showRecord(const OrderRecord& r)
{
    for (size_t i = 0; i < OrderFields.size(); ++i)
        m_boxes[i]->setText(r.*OrderFields[i].member);
}

void OrderWindow::loadRecord()
{
    OrderRecord r;
    if (!Dialogs::retryUntilDone(this, [&] { return OrderStore(m_db).read(r); }))
        return; // the boxes keep what they show
    showRecord(r);
}

bool OrderWindow::save()
{
    const OrderRecord r = record();
    return Dialogs::retryUntilDone(this, [&] { return OrderStore(m_db).write(r); });
}

void OrderWindow::clearForm()
{
    showRecord(OrderRecord());
    save();
    m_boxes[0]->setFocus();
}

void OrderWindow::discardChanges()
{
    loadRecord();
    m_boxes[0]->setFocus();
}

void OrderWindow::printForm()
{
    // A retry starts again with the save, so the form always shows what is
    // stored.
    OrderRecord printed;
    PrintJob::runInteractive(
        this, QStringLiteral("Order Form"), QStringLiteral("order-form.pdf"),
        [&] {
            if (!save())
                return false;
            printed = record();
            return true;
        },
        [&](PrintTarget& t) { return OrderFormPrint::print(t, printed); });
}

void OrderWindow::leave()
{
    m_host.open(Window::Menu);
    close();
}

bool OrderWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && typeCapital(watched, static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

// Every typed letter reaches the box as a capital.
bool OrderWindow::typeCapital(QObject* watched, QKeyEvent* key)
{
    const Qt::KeyboardModifiers commandKeys = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = key->text();
    if (text.isEmpty() || (key->modifiers() & commandKeys))
        return false;
    const QString upper = text.toUpper();
    if (upper == text)
        return false;
    QKeyEvent capital(key->type(), key->key(), key->modifiers(), upper, key->isAutoRepeat(), key->count());
    QCoreApplication::sendEvent(watched, &capital);
    return true;
}
