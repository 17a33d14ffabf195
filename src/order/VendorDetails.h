#pragma once

#include "Version.h"

#include <QString>
#include <QStringList>

// Everything the order window and the printed order form say about the
// maker. The details come from one place, the program's resource
// maker.json; a detail left empty there is left off, never shown as a
// placeholder.
struct VendorDetails
{
    QString name;
    QStringList address; // three lines: street; town, state and postcode; country
    QString telephone;
    QString fax;
    QString email;
    QString price;
    QString postageNote;

    static const VendorDetails& fromResources();

    // The three contact lines with their labels, "" for a detail not given.
    QStringList contactLines() const;
    // "Price: <price>, <postage note>", or "" when there is no price.
    QString priceLine() const;

    // The product as the window shows it, and as the form orders it (with
    // the medium and quantity).
    static inline const QString ProductLine = QStringLiteral("Product: " LEDGERLY_TITLE " " LEDGERLY_VERSION);
    static inline const QString OrderedProduct = QStringLiteral(
        "Order: one copy of " LEDGERLY_TITLE " " LEDGERLY_VERSION " on CD-ROM, single practice licence");
};
