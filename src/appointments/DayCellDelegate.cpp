#include "appointments/DayCellDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

void DayCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (option.state & QStyle::State_HasFocus) {
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
    const QString shown = metrics.elidedText(text, Qt::ElideRight, box.width());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const int baseline = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(QPoint(box.left(), baseline), shown);
}
