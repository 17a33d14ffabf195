#pragma once

#include "platform/PrintTarget.h"

#include <QMap>
#include <QStringList>

// Keeps the printed lines of each page, so tests can read a printout back
// exactly, and counts every call made on it. It can be told to fail at a
// given call. Its face is fixed-pitch: a character is half the font size
// wide, a line 1.2 times it high; the page is 8 by 10.5 inches.
class RecordingPrintTarget : public PrintTarget
{
public:
    void setFontSize(int points) override { m_points = record() ? points : m_points; }
    void setBold(bool) override { record(); }
    void print(const QList<Item>& items, bool lineEnd) override;
    void drawLine(QPoint, QPoint) override { record(); }
    void drawBox(QPoint, QPoint) override { record(); }
    void newPage() override;
    void endDocument() override;
    void resetCoordinates() override { record(); }
    QSize pageSize() const override { return {11520, 15120}; }
    int textWidth(const QString& text, int points, bool) const override { return int(text.size()) * points * 10; }
    int lineHeight(int points, bool) const override { return points * 24; }

    // The call with this index (0-based) fails with reason instead of being
    // counted.
    void failAtCall(int index, const QString& reason);

    int callCount() const { return m_calls; }
    int pageCount() const { return m_page; }
    bool ended() const { return m_ended; }
    // The printed lines of one page (1-based), blanks expanded to spaces.
    QStringList pageLines(int page) const;
    // Where the text of each of those lines ends: its right end and its foot.
    QList<QPoint> lineEnds(int page) const { return m_ends.value(page); }

private:
    bool record();

    QMap<int, QStringList> m_lines; // page -> lines; the last one open until its line end
    QMap<int, QList<QPoint>> m_ends;
    bool m_lineOpen = false;
    int m_points = 10;
    QPoint m_pos;
    int m_calls = 0;
    int m_page = 1;
    bool m_ended = false;
    int m_failAt = -1;
    QString m_failReason;
};
