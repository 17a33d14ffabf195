#pragma once

class PrintTarget;
struct DaySheet;

// The day's appointment lists: one page per provider, plain lines placed by
// counted blanks, double-spaced from the first slot on.
namespace DayListPrint {
// Prints the whole set and ends the document. False at the first failure of
// the target (its errorString() says why); nothing more is printed then.
bool print(PrintTarget& target, const DaySheet& sheet);
} // namespace DayListPrint
