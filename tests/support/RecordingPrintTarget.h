#pragma once

#include "platform/PrintTarget.h"

#include <QMap>
#include <QStringList>

// Keeps the printed lines of each page, so tests can read a printout back
// exactly, and counts every call made on it. It can be told to fail at a
// given call.
class RecordingPrintTarget : public PrintTarget
{
public:
    void setFontSize(int) override { record(); }
    void setBold(bool) override { record(); }
    void print(const QList<Item>& items, bool lineEnd) override;
    void drawLine(QPoint, QPoint) override { record(); }
    void drawBox(QPoint, QPoint) override { record(); }
    void newPage() override;
    void endDocument() override;
    void resetCoordinates() override { record(); }

    // The call with this index (0-based) fails with reason instead of being
    // counted.
    void failAtCall(int index, const QString& reason);

    int callCount() const { return m_calls; }
    int pageCount() const { return m_page; }
    bool ended() const { return m_ended; }
    // The printed lines of one page (1-based), blanks expanded to spaces.
    QStringList pageLines(int page) const;

private:
    bool record();

    QMap<int, QStringList> m_lines; // page -> lines; the last one open until its line end
    bool m_lineOpen = false;
    int m_calls = 0;
    int m_page = 1;
    bool m_ended = false;
    int m_failAt = -1;
    QString m_failReason;
};
