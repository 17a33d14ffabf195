#include "order/OrderFormPrint.h"

#include "order/OrderFields.h"
#include "order/VendorDetails.h"
#include "platform/PrintTarget.h"

namespace OrderFormPrint {
namespace {
using P = PrintTarget;

void font(PrintTarget& t, int points, bool bold)
{
    t.setFontSize(points);
    t.setBold(bold);
}

// Leaves the current position on the box's lower right corner, 200 twips
// below the top of the text line.
void boxA(PrintTarget& t, int width)
{
    t.drawBox(QPoint(0, -BoxRise), QPoint(width, BoxHeight));
}

// Back up to the top of the text line, along the box's right edge, so the
// next text follows on the same line.
void penMove(PrintTarget& t)
{
    t.drawLine(QPoint(0, -100), QPoint(0, -100));
}

void writingLineB(PrintTarget& t)
{
    t.drawLine(QPoint(0, WritingLineDrop), QPoint(WritingLineLength, 0));
}
} // namespace

bool print(PrintTarget& t, const OrderRecord& order)
{
    const VendorDetails& maker = VendorDetails::fromResources();
    const QStringList makerContact = maker.contactLines();
    // The maker's name heads the address, with a comma when one follows.
    const bool hasAddress = !maker.address.join(QString()).isEmpty();
    const QString nameAbove = hasAddress ? maker.name + QLatin1Char(',') : maker.name;
    const int contactIndent[] = {54, 62, 60};

    t.resetCoordinates();
    for (int n = 0; n < 3; ++n)
        t.printLine();

    font(t, 10, true);
    t.printLine({P::blanks(10), P::text(nameAbove)});
    for (int i = 0; i < 3; ++i) {
        // A detail the maker left out leaves its line blank, or moves the
        // contact detail beside it to where the address would have ended.
        t.setBold(true);
        t.printRun({P::blanks(10), P::text(maker.address[i])});
        t.setBold(false);
        t.printLine({P::blanks(maker.address[i].isEmpty() ? 0 : contactIndent[i]), P::text(makerContact[i])});
    }
    font(t, 10, false);
    t.printLine();
    t.printRun({P::blanks(10)});
    font(t, 12, true);
    t.printLine({P::text(QStringLiteral("Order Form"))});
    font(t, 10, false);
    t.printLine();
    if (!t.ok())
        return false;

    for (const OrderField& field : OrderFields) {
        t.printRun({P::blanks(11), P::text(QString::fromLatin1(field.printedLabel))});
        t.printLine({P::blanks(field.spacesBeforeValue), P::text(order.*field.member)});
        t.printLine();
    }
    t.printLine({P::blanks(11), P::text(VendorDetails::OrderedProduct)});
    t.printLine();
    t.printRun({P::blanks(11), P::text(QStringLiteral("Please send order form to:"))});
    t.setBold(true);
    t.printLine({P::blanks(3), P::text(nameAbove)});
    for (const QString& line : maker.address) {
        if (!line.isEmpty())
            t.printLine({P::blanks(37), P::text(line)});
    }
    t.printLine();
    if (!t.ok())
        return false;

    font(t, 10, false);
    t.printLine({P::blanks(11),
        P::text(QStringLiteral("With payment enclosed - overseas bankdraft or international money order,"))});
    t.printRun({P::blanks(11), P::text(QStringLiteral("made payable to:"))});
    t.setBold(true);
    t.printLine({P::blanks(11), P::text(maker.name)});
    t.printLine();
    font(t, 10, false);
    t.printRun({P::blanks(11), P::text(QStringLiteral("For the sum of:"))});
    t.setBold(true);
    t.printRun({P::blanks(13), P::text(maker.price)});
    font(t, 9, false);
    t.printLine({P::blanks(1), P::text(maker.price.isEmpty() ? QString() : maker.postageNote)});
    t.printLine();
    font(t, 10, false);
    t.printRun({P::blanks(11),
        P::text(QStringLiteral("Or you can place the order with credit card payment via fax or mail:"))});
    t.setBold(true);
    t.printLine({P::blanks(2), P::text(maker.price)});
    font(t, 10, false);
    t.printLine();
    t.printLine();
    if (!t.ok())
        return false;

    // The painter's pen is always thin and black, which is what the two
    // drawing settings are for; nothing to set here.
    t.printRun({P::blanks(11), P::text(QStringLiteral("Card Holder's Name: "))});
    boxA(t, 3500);
    penMove(t);
    t.printRun({P::blanks(2), P::text(QStringLiteral("Card Number: "))});
    boxA(t, 3000);
    t.printLine();
    t.printLine();
    t.printRun({P::blanks(11), P::text(QStringLiteral("Card Expiry Date:       "))});
    boxA(t, 2000);
    penMove(t);
    t.printRun({P::blanks(8), P::text(QStringLiteral("Card Holder's Signature: "))});
    boxA(t, 3000);
    t.printLine();

    font(t, 12, true);
    t.printLine({P::blanks(8), P::text(QStringLiteral("Thank you for your order!"))});
    font(t, 10, false);
    t.printLine();
    t.printRun({P::blanks(11), P::text(QStringLiteral("Any comments/suggestions/bugs  "))});
    writingLineB(t);
    t.printLine();
    for (int n = 0; n < 3; ++n) {
        t.printRun({P::blanks(43)});
        writingLineB(t);
        t.printLine();
    }
    t.endDocument();
    return t.ok();
}

} // namespace OrderFormPrint
