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
    if (!m_lineOpen)
        lines.append(QString());
    for (const Item& item : items)
        lines.last() += item.kind == Item::Blanks ? QString(item.count, QLatin1Char(' ')) : item.text;
    m_lineOpen = !lineEnd;
}

void RecordingPrintTarget::newPage()
{
    if (record()) {
        ++m_page;
        m_lineOpen = false;
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
