#include "platform/PainterPrintTarget.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <cmath>

PainterPrintTarget::~PainterPrintTarget()
{
    abandon();
}

bool PainterPrintTarget::begin(QPagedPaintDevice* device, const QString& failureReason)
{
    m_device = device;
    if (!m_painter.begin(device)) {
        fail(failureReason);
        return false;
    }
    m_unitsPerTwip = device->logicalDpiY() / 1440.0;
    // The printer's own face; only size and weight are ever changed.
    m_font = m_painter.font();
    m_painter.setFont(m_font);
    m_painter.setPen(QPen(Qt::black, toDevice(PenTwips)));
    m_painter.setBrush(Qt::NoBrush);
    m_pos = QPointF(0, 0);
    return true;
}

void PainterPrintTarget::abandon()
{
    if (m_painter.isActive())
        m_painter.end();
}

void PainterPrintTarget::setFontSize(int points)
{
    if (!ok())
        return;
    m_font.setPointSize(points);
    m_painter.setFont(m_font);
}

void PainterPrintTarget::setBold(bool on)
{
    if (!ok())
        return;
    m_font.setBold(on);
    m_painter.setFont(m_font);
}

double PainterPrintTarget::currentLineSpacing() const
{
    return QFontMetricsF(m_font, m_device).lineSpacing();
}

bool PainterPrintTarget::breakPageIfFull()
{
    if (m_pos.x() > 0 || m_pos.y() <= 0)
        return true;
    if (m_pos.y() + currentLineSpacing() <= m_device->height())
        return true;
    return startPage();
}

bool PainterPrintTarget::startPage()
{
    if (!m_device->newPage()) {
        fail(QStringLiteral("The printer could not start a new page"));
        return false;
    }
    m_pos = QPointF(0, 0);
    return true;
}

void PainterPrintTarget::print(const QList<Item>& items, bool lineEnd)
{
    if (!ok() || !breakPageIfFull())
        return;
    const QFontMetricsF metrics(m_font, m_device);
    for (const Item& item : items) {
        if (item.kind == Item::Blanks) {
            // Blanks are spaces of the current font, not a column position.
            m_pos.rx() += item.count * metrics.horizontalAdvance(QLatin1Char(' '));
            continue;
        }
        if (item.kind == Item::Column) {
            m_pos.rx() = std::max(m_pos.x(), toDevice(item.count));
            continue;
        }
        m_painter.drawText(QPointF(m_pos.x(), m_pos.y() + metrics.ascent()), item.text);
        m_pos.rx() += metrics.horizontalAdvance(item.text);
    }
    if (lineEnd)
        m_pos = QPointF(0, m_pos.y() + metrics.lineSpacing());
}

void PainterPrintTarget::drawLine(QPoint from, QPoint to)
{
    if (!ok())
        return;
    const QPointF a = m_pos + QPointF(toDevice(from.x()), toDevice(from.y()));
    const QPointF b = a + QPointF(toDevice(to.x()), toDevice(to.y()));
    m_painter.drawLine(a, b);
    m_pos = b;
}

void PainterPrintTarget::drawBox(QPoint from, QPoint to)
{
    if (!ok())
        return;
    const QPointF a = m_pos + QPointF(toDevice(from.x()), toDevice(from.y()));
    const QPointF b = a + QPointF(toDevice(to.x()), toDevice(to.y()));
    m_painter.drawRect(QRectF(a, b).normalized());
    m_pos = b;
}

void PainterPrintTarget::newPage()
{
    if (ok())
        startPage();
}

void PainterPrintTarget::endDocument()
{
    if (!ok() || m_ended)
        return;
    m_ended = true;
    if (!m_painter.end()) {
        fail(QStringLiteral("The printout could not be finished"));
        return;
    }
    finish();
}

void PainterPrintTarget::resetCoordinates()
{
    if (ok())
        m_pos = QPointF(0, 0);
}

int PainterPrintTarget::toTwipsRoundedUp(double units) const
{
    // A hair of slack, so that a measure that is whole twips stays whole.
    return int(std::ceil(units / m_unitsPerTwip - 1e-6));
}

QFont PainterPrintTarget::fontOf(int points, bool bold) const
{
    QFont font = m_font;
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

QSize PainterPrintTarget::pageSize() const
{
    if (!m_device)
        return QSize();
    // Rounded down: the area is never taken for larger than it is.
    return QSize(int(m_device->width() / m_unitsPerTwip), int(m_device->height() / m_unitsPerTwip));
}

int PainterPrintTarget::textWidth(const QString& text, int points, bool bold) const
{
    return m_device ? toTwipsRoundedUp(QFontMetricsF(fontOf(points, bold), m_device).horizontalAdvance(text)) : 0;
}

int PainterPrintTarget::lineHeight(int points, bool bold) const
{
    return m_device ? toTwipsRoundedUp(QFontMetricsF(fontOf(points, bold), m_device).lineSpacing()) : 0;
}
