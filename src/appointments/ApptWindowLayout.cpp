#include "appointments/ApptWindowLayout.h"

#include "appointments/DayGrid.h"
#include "appointments/DayStatusBar.h"
#include "appointments/HelpLine.h"
#include "appointments/MemoPads.h"
#include "appointments/MonthCalendar.h"
#include "platform/Twips.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
QLabel* hint(QWidget* window, const char* name, const char* text)
{
    auto* l = new QLabel(QString::fromLatin1(text), window);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

// A hint above its button, both at the column's left edge.
QVBoxLayout* hinted(QWidget* hint, QWidget* below)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    column->addWidget(hint, 0, Qt::AlignLeft | Qt::AlignBottom);
    column->addWidget(below, 0, Qt::AlignLeft);
    return column;
}

// Two hinted buttons side by side.
QHBoxLayout* pair(QLayout* first, QLayout* second)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(Twips::toPixels(230));
    row->addLayout(first);
    row->addLayout(second);
    row->addStretch();
    return row;
}
} // namespace

namespace ApptWindowLayout {
void layOut(QWidget* window, const Controls& c)
{
    // Above the month and the year list.
    auto* listHints = new QHBoxLayout;
    listHints->setSpacing(0);
    QLabel* monthHint = hint(window, "monthHint", "Press Alt-M");
    monthHint->setMinimumWidth(Twips::toPixels(1220));
    listHints->addWidget(monthHint);
    listHints->addWidget(hint(window, "yearHint", "Press Alt-Y"));
    listHints->addStretch();

    c.page->setMinimumSize(Twips::size(8988, 6860));
    c.calendar->setFixedSize(Twips::size(2120, 2560));
    auto* side = new QVBoxLayout;
    side->setSpacing(0);
    side->addWidget(c.calendar);
    side->addSpacing(Twips::toPixels(320));
    side->addLayout(pair(hinted(hint(window, "todayHint", "Press Esc"), c.today),
        hinted(hint(window, "findHint", "Press Ctrl-F"), c.find)));
    side->addLayout(pair(hinted(hint(window, "historyHint", "Press Alt-H"), c.history), new QVBoxLayout));
    side->addSpacing(Twips::toPixels(340));
    side->addWidget(c.memoPads, 1);

    auto* foot = new QHBoxLayout;
    foot->addWidget(c.help, 1);
    foot->addLayout(hinted(c.memoHint, c.memo));

    auto* grid = new QGridLayout(window);
    grid->setContentsMargins(Twips::toPixels(240), Twips::toPixels(120), Twips::toPixels(228), Twips::toPixels(120));
    grid->setHorizontalSpacing(Twips::toPixels(252));
    grid->setVerticalSpacing(0);
    grid->addWidget(c.statusBar, 0, 0);
    grid->addLayout(listHints, 0, 1, Qt::AlignBottom);
    grid->addWidget(c.page, 1, 0);
    grid->addLayout(side, 1, 1);
    grid->addLayout(foot, 2, 0);
    grid->addLayout(pair(hinted(hint(window, "printHint", "Press Alt-P"), c.print),
                        hinted(hint(window, "exitHint", "Press Alt-E"), c.exit)),
        2, 1, Qt::AlignBottom);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);
}
} // namespace ApptWindowLayout
