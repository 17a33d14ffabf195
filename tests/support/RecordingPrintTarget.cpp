#include "RecordingPrintTarget.h"

bool RecordingPrintTarget::record()
{
    if (!ok())
        return false;
    if (m_calls == m_failAt) {
        fail(m_failReason);
        return false;
    }
    ++m_calls;
    return true;
}

void RecordingPrintTarget::print(const QList<Item>& items, bool lineEnd)
{
    if (!record())
        return;
    QStringList& lines = m_lines[m_page];
    QList<QPoint>& ends = m_ends[m_page];
    if (!m_lineOpen) {
        lines.append(QString());
        ends.append(QPoint(0, m_pos.y()));
    }
    const int blank = textWidth(QStringLiteral(" "), m_points, false);
    for (const Item& item : items) {
        const int width = item.kind == Item::Text ? textWidth(item.text, m_points, false)
            : item.kind == Item::Blanks           ? item.count * blank
                                                  : std::max(0, item.count - m_pos.x());
        lines.last() += item.kind == Item::Text ? item.text : QString((width + blank / 2) / blank, QLatin1Char(' '));
        m_pos.rx() += width;
        if (item.kind == Item::Text)
            ends.last().setX(m_pos.x());
    }
    ends.last().setY(std::max(ends.last().y(), m_pos.y() + lineHeight(m_points, false)));
    m_lineOpen = !lineEnd;
    if (lineEnd)
        m_pos = QPoint(0, ends.last().y());
}

void RecordingPrintTarget::newPage()
{
    if (record()) {
        ++m_page;
        m_lineOpen = false;
        m_pos = QPoint();
    }
}

void RecordingPrintTarget::endDocument()
{
    if (record())
        m_ended = true;
}

void RecordingPrintTarget::failAtCall(int index, const QString& reason)
{
    m_failAt = index;
    m_failReason = reason;
}

QStringList RecordingPrintTarget::pageLines(int page) const
{
    return m_lines.value(page);
}
