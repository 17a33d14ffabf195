#pragma once

#include "platform/PrintTarget.h"

#include <QStringList>

// Keeps every call made on it, with the font in force, so tests can read a
// printout back exactly. It can be told to fail at a given call.
class RecordingPrintTarget : public PrintTarget
{
public:
    struct Call
    {
        enum Kind { FontSize, Bold, Print, Line, Box, NewPage, EndDocument, ResetCoordinates };
        Kind kind = Print;
        int value = 0; // FontSize: points; Bold: 0 or 1
        QList<Item> items; // Print
        bool lineEnd = false; // Print
        QPoint from, to; // Line, Box
        int fontSize = 0; // in force at a Print; 0 = the target's default size
        bool bold = false; // in force at a Print
        int page = 1; // page the call was made on
    };

    void setFontSize(int points) override;
    void setBold(bool on) override;
    void print(const QList<Item>& items, bool lineEnd) override;
    void drawLine(QPoint from, QPoint to) override;
    void drawBox(QPoint from, QPoint to) override;
    void newPage() override;
    void endDocument() override;
    void resetCoordinates() override;

    // The call with this index (0-based) fails with reason instead of being
    // recorded.
    void failAtCall(int index, const QString& reason);

    const QList<Call>& calls() const { return m_calls; }
    int pageCount() const { return m_page; }
    bool ended() const { return m_ended; }

    // One line per call: "size 14", "bold on", "print {9}Heading|" (| marks a
    // line end, {n} n blanks), "box (0,-150) (3500,350)", "line ...",
    // "newpage", "end", "reset".
    QStringList describe() const;
    static QString describe(const Call& call);
    // The printed lines of one page (1-based), blanks expanded to spaces.
    QStringList pageLines(int page) const;

private:
    bool record(Call call);

    QList<Call> m_calls;
    int m_fontSize = 0;
    bool m_bold = false;
    int m_page = 1;
    bool m_ended = false;
    int m_failAt = -1;
    int m_callIndex = 0;
    QString m_failReason;
};
