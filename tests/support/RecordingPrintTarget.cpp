#include "RecordingPrintTarget.h"

bool RecordingPrintTarget::record(Call call)
{
    if (!ok())
        return false;
    if (m_callIndex++ == m_failAt) {
        fail(m_failReason);
        return false;
    }
    call.fontSize = m_fontSize;
    call.bold = m_bold;
    call.page = m_page;
    m_calls.append(call);
    return true;
}

void RecordingPrintTarget::setFontSize(int points)
{
    Call c;
    c.kind = Call::FontSize;
    c.value = points;
    if (record(c))
        m_fontSize = points;
}

void RecordingPrintTarget::setBold(bool on)
{
    Call c;
    c.kind = Call::Bold;
    c.value = on ? 1 : 0;
    if (record(c))
        m_bold = on;
}

void RecordingPrintTarget::print(const QList<Item>& items, bool lineEnd)
{
    Call c;
    c.kind = Call::Print;
    c.items = items;
    c.lineEnd = lineEnd;
    record(c);
}

void RecordingPrintTarget::drawLine(QPoint from, QPoint to)
{
    Call c;
    c.kind = Call::Line;
    c.from = from;
    c.to = to;
    record(c);
}

void RecordingPrintTarget::drawBox(QPoint from, QPoint to)
{
    Call c;
    c.kind = Call::Box;
    c.from = from;
    c.to = to;
    record(c);
}

void RecordingPrintTarget::newPage()
{
    Call c;
    c.kind = Call::NewPage;
    if (record(c))
        ++m_page;
}

void RecordingPrintTarget::endDocument()
{
    Call c;
    c.kind = Call::EndDocument;
    if (record(c))
        m_ended = true;
}

void RecordingPrintTarget::resetCoordinates()
{
    Call c;
    c.kind = Call::ResetCoordinates;
    record(c);
}

void RecordingPrintTarget::failAtCall(int index, const QString& reason)
{
    m_failAt = index;
    m_failReason = reason;
}

QString RecordingPrintTarget::describe(const Call& c)
{
    const auto point = [](QPoint p) { return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y()); };
    switch (c.kind) {
    case Call::FontSize:
        return QStringLiteral("size %1").arg(c.value);
    case Call::Bold:
        return c.value ? QStringLiteral("bold on") : QStringLiteral("bold off");
    case Call::Print: {
        QString out = QStringLiteral("print ");
        for (const Item& item : c.items)
            out += item.kind == Item::Blanks ? QStringLiteral("{%1}").arg(item.count) : item.text;
        if (c.lineEnd)
            out += QLatin1Char('|');
        return out;
    }
    case Call::Line:
        return QStringLiteral("line %1 %2").arg(point(c.from), point(c.to));
    case Call::Box:
        return QStringLiteral("box %1 %2").arg(point(c.from), point(c.to));
    case Call::NewPage:
        return QStringLiteral("newpage");
    case Call::EndDocument:
        return QStringLiteral("end");
    case Call::ResetCoordinates:
        return QStringLiteral("reset");
    }
    return QString();
}

QStringList RecordingPrintTarget::describe() const
{
    QStringList out;
    for (const Call& c : m_calls)
        out.append(describe(c));
    return out;
}

QStringList RecordingPrintTarget::pageLines(int page) const
{
    QStringList lines;
    QString current;
    bool open = false;
    for (const Call& c : m_calls) {
        if (c.page != page || c.kind != Call::Print)
            continue;
        for (const Item& item : c.items)
            current += item.kind == Item::Blanks ? QString(item.count, QLatin1Char(' ')) : item.text;
        open = true;
        if (c.lineEnd) {
            lines.append(current);
            current.clear();
            open = false;
        }
    }
    if (open)
        lines.append(current);
    return lines;
}
