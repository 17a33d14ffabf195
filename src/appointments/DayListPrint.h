#pragma once

class PrintTarget;
struct DaySheet;

// The day's appointment lists: each provider's list starts on a page of its
// own, plain lines placed by counted blanks, double-spaced from the first
// slot on. A long entry wraps within its column; a list longer than a page
// goes on over more pages, each with the heading and "Page N of M".
namespace DayListPrint {
// Prints the whole set and ends the document. False at the first failure of
// the target (its errorString() says why); nothing more is printed then.
bool print(PrintTarget& target, const DaySheet& sheet);
} // namespace DayListPrint
