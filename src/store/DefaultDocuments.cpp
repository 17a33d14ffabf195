#include "store/DefaultDocuments.h"

namespace DefaultDocuments {

QString readme()
{
    return QStringLiteral(R"(LEDGERLY - an appointment book for small practices

Ledgerly keeps the appointments of a small practice or office with one to eight service providers. It shows one day at a time as a page of time slots: one row for every appointment time of the day and one column for every provider. You type a client's name into a slot; the day is stored when you move to another day or leave the window with Exit.

GETTING STARTED
Open "Setup/Customize" from the main menu first. There you name your premises (office, clinic, centre ...), give the time of the first and of the last appointment, the length of one slot (10 to 240 minutes), the number of providers (1 to 8) and their names. Days that have already been booked keep the layout they were booked with; today and later days use the new settings.

THE APPOINTMENT WINDOW FROM THE KEYBOARD
The window is made to be worked without a mouse.
- Tab moves between the month calendar and the day page.
- In the calendar, the arrow keys move the selected day; Page Down moves four weeks on, Page Up three weeks back. Enter, Space or Tab opens the selected day.
- On the day page, the arrow keys move from slot to slot. Type to write into a slot; what you type is kept at once.
- Esc brings you back to today's page from anywhere in the window.
- Alt-C goes to the open/closed selector: choose Open or Closed and press Tab. A closed day is shown greyed and is kept even when nothing is written on it.
- Alt-M and Alt-Y go to the month and year lists; choose and press Tab to show that month in the calendar.
- Alt-D shows the daily memo (a note that belongs to the day shown), Alt-F the fixed memo (a note that is the same on every day). Tab takes you back.
- Delete clears the slot you are on.
- Ctrl-Z undoes your last change to the day shown (a slot, a memo or the open/closed choice); Ctrl-Y or Ctrl-Shift-Z does it again. An undone change is stored at once, like anything you type, so the other desks see it.
- Ctrl-F (or the Find button) finds an appointment: type part of a name, and the list shows every appointment that holds it, the coming ones first. Enter opens its day on that slot; Esc closes the list.
- Ctrl-H (or Alt-H, the History button) lists every stored change of the slot you are on, the newest first: when, at which desk, and its text before and after. Ctrl-Shift-H lists every change of the day shown. Enter on a change puts back the text it replaced, as a new change that Ctrl-Z takes back; Esc closes the list.
- Alt-P prints the day's lists, one page per provider. Ctrl-P shows the print dialog first, with a preview, where a printer is set up.
- Alt-E saves the day and goes back to the main menu.
- F1 shows a short help text, F2 hides it again.

YOUR DATA
Everything Ledgerly keeps is in one file, db.mdb, in your data folder (~/.local/share/Ledgerly/Ledgerly unless you chose another; "ledgerly --help" names it): the appointments, the memos, the settings and your order details. Several computers can use the same file in a shared folder at the same time; when two people change the same day at once, both changes are kept.

BACK-UP
Copy your data regularly. "Back-up/Restore files" in the main menu copies db.mdb to another folder (a USB stick, a network share) and restores it from there. A restore replaces all data with the copy, so ask everyone else to close Ledgerly first. When you leave the program from the main menu, it offers to make a back-up.
)");
}

QString licence()
{
    return QStringLiteral(R"(MIT License

Copyright (c) The Ledgerly developers

Permission is hereby granted, free of charge, to any person obtaining a copy of this software and associated documentation files (the "Software"), to deal in the Software without restriction, including without limitation the rights to use, copy, modify, merge, publish, distribute, sublicense, and/or sell copies of the Software, and to permit persons to whom the Software is furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in all copies or substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.
)");
}

} // namespace DefaultDocuments
