#pragma once

class PrintTarget;
struct OrderRecord;

// The one-page mail order form: the vendor's address, the customer's details
// as typed, payment instructions and boxes for the card details.
namespace OrderFormPrint {
// Box A: a frame for handwriting after a label, from 150 twips above the top
// of the text line, 350 twips high.
inline constexpr int BoxRise = 150;
inline constexpr int BoxHeight = 350;
// Writing line B: 200 twips below the top of the line, 6500 twips long.
inline constexpr int WritingLineDrop = 200;
inline constexpr int WritingLineLength = 6500;

// Prints the page and ends the document; false at the first failure of the
// target (its errorString() says why).
bool print(PrintTarget& target, const OrderRecord& order);
} // namespace OrderFormPrint
