#pragma once

#include <QStyledItemDelegate>

// Paints the day page's cells. The stock delegate lays each cell's text out
// several times over (its size, its elision, its drawing), and a full page of
// names then costs more than all the rest of a day change. Here a text is
// shaped once to elide it and once to draw it. The current cell, which shows
// the focus frame, and any cell with more than plain text still go the stock
// way.
class DayCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
