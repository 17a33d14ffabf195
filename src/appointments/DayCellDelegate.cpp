#include "appointments/DayCellDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace {
// A cell with nothing but its text, drawn on one line.
bool plainCell(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (option.state & QStyle::State_HasFocus || option.features & QStyleOptionViewItem::WrapText)
        return false;
    for (const int role : {Qt::FontRole, Qt::TextAlignmentRole, Qt::ForegroundRole, Qt::BackgroundRole,
             Qt::CheckStateRole, Qt::DecorationRole}) {
        if (index.data(role).isValid())
            return false;
    }
    return true;
}
} // namespace

void DayCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!plainCell(option, index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QPalette::ColorGroup group = QPalette::Disabled;
    if (option.state & QStyle::State_Enabled)
        group = (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));

    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    // The same text box and elision as the stock item view style.
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect box = option.rect.adjusted(margin, 0, -margin, 0);
    const QFontMetrics metrics(option.font);
    const QString shown = metrics.elidedText(text, option.textElideMode, box.width());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const int baseline = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(QPoint(box.left(), baseline), shown);
}
