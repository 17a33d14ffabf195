#pragma once

#include <QHeaderView>

// A header of the day page. The grid fixes the time column's width and the
// heading row's height, yet the stock header measures the text of every
// section (through the style sheet) to offer a size that is then overruled;
// on a page of 76 slots that was the dearest part of laying the grid out.
class DayGridHeader : public QHeaderView
{
    Q_OBJECT
public:
    using QHeaderView::QHeaderView;

    QSize sizeHint() const override;
};
