#pragma once

#include "core/OrderRecord.h"

#include <QString>
#include <array>

// The eleven order details in tab order: the box on the window, its label and
// place there, and how the printed form shows it.
struct OrderField
{
    const char* box; // objectName of the text box
    const char* windowLabel;
    int top; // twips
    int width; // twips
    const char* printedLabel;
    int spacesBeforeValue; // counted from the end of the printed label
    QString OrderRecord::*member;
};

inline const std::array<OrderField, 11> OrderFields {{
    {"nameEdit", "Name:", 1080, 5295, "Name:", 13, &OrderRecord::name},
    {"addressEdit", "Address:", 1560, 5295, "Address:", 11, &OrderRecord::address},
    {"cityEdit", "Town/City:", 2040, 5295, "Town/City:", 10, &OrderRecord::city},
    {"stateEdit", "State/Province:", 2520, 5295, "State/Province:", 5, &OrderRecord::state},
    {"zipEdit", "Zip/Postcode:", 3000, 2895, "Zip/Postcode:", 7, &OrderRecord::zip},
    {"countryEdit", "Country:", 3480, 5295, "Country:", 12, &OrderRecord::country},
    {"phoneEdit", "Phone:", 3960, 2895, "Phone:", 13, &OrderRecord::phone},
    {"faxEdit", "Fax:", 4440, 2895, "Fax:", 16, &OrderRecord::fax},
    {"contactEdit", "Contact Person:", 4920, 5295, "Contact Person:", 5, &OrderRecord::contact},
    {"practiceEdit", "Practice Type:", 5400, 2895, "Practice Field:", 6, &OrderRecord::practice},
    {"orderDateEdit", "Order Date:", 5880, 2895, "Order Date:", 9, &OrderRecord::orderDate},
}};
