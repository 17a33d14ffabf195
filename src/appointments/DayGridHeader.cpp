#include "appointments/DayGridHeader.h"

QSize DayGridHeader::sizeHint() const
{
    if (orientation() == Qt::Vertical && minimumWidth() == maximumWidth())
        return QSize(minimumWidth(), defaultSectionSize());
    if (orientation() == Qt::Horizontal && minimumHeight() == maximumHeight())
        return QSize(defaultSectionSize(), minimumHeight());
    return QHeaderView::sizeHint();
}
