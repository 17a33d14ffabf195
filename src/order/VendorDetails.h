#pragma once

#include "Version.h"

#include <QString>

// Everything the order window and the printed order form say about the
// vendor, in one place for a distributor to fill in.
namespace VendorDetails {
inline const QString Name = QStringLiteral("Ledgerly Distribution");
inline const QString AddressLine1 = QStringLiteral("Street and number");
inline const QString AddressLine2 = QStringLiteral("Town, State and Postcode");
inline const QString AddressLine3 = QStringLiteral("Country");
inline const QString Telephone = QStringLiteral("Tel: (telephone number)");
inline const QString Fax = QStringLiteral("Fax: (fax number)");
inline const QString Email = QStringLiteral("E-mail: (e-mail address)");

// The product as the window shows it, and as the form orders it (with the
// medium and quantity).
inline const QString Product = QStringLiteral(LEDGERLY_TITLE " " LEDGERLY_VERSION);
inline const QString ProductLine = QStringLiteral("Product: " LEDGERLY_TITLE " " LEDGERLY_VERSION);
inline const QString OrderedProduct
    = QStringLiteral("Order: one copy of " LEDGERLY_TITLE " " LEDGERLY_VERSION " on CD-ROM, single practice licence");
inline const QString Price = QStringLiteral("(price)");
inline const QString PostageNote = QStringLiteral("including postage");
inline QString priceLine()
{
    return QStringLiteral("Price: ") + Price + QStringLiteral(", ") + PostageNote;
}
} // namespace VendorDetails
