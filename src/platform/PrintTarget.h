#pragma once

#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>

// A page-oriented printer as the printouts use it. Everything is measured in
// twips (1440 per inch) from the top left corner of the printable area. The
// current position is the top of the current text line; printing text moves
// it to where the text ends, a line end moves it to the left edge one line of
// the current font lower. The typeface is never chosen: the target's default
// face is used, only its size and weight change.
//
// A failure is sticky: once an operation has failed, every later operation
// does nothing and ok() stays false, so a printout can check once per step.
class PrintTarget
{
public:
    // One item of a printed run: a number of blanks of the current font, a
    // text, or a move to the right to a column (count twips from the left
    // edge; a column left of the current position changes nothing).
    struct Item
    {
        enum Kind { Blanks, Text, Column };
        Kind kind = Text;
        int count = 0;
        QString text;

        bool operator==(const Item& other) const = default;
    };
    static Item blanks(int count) { return {Item::Blanks, count, QString()}; }
    static Item text(const QString& text) { return {Item::Text, 0, text}; }
    static Item column(int twips) { return {Item::Column, twips, QString()}; }

    virtual ~PrintTarget() = default;

    virtual void setFontSize(int points) = 0;
    virtual void setBold(bool on) = 0;
    // Prints the items at the current position; with lineEnd the position
    // then goes to the start of the next line.
    virtual void print(const QList<Item>& items, bool lineEnd) = 0;
    // A straight line or an unfilled rectangle from the point `from` (relative
    // to the current position) to the point `to` (relative to `from`). The
    // current position ends on the second point.
    virtual void drawLine(QPoint from, QPoint to) = 0;
    virtual void drawBox(QPoint from, QPoint to) = 0;
    virtual void newPage() = 0;
    // Finishes the document and hands it over (to the printer or the file).
    virtual void endDocument() = 0;
    // Twips, origin at the top left of the printable area.
    virtual void resetCoordinates() = 0;

    // Measures for a printout that lays out its own pages, in twips: the
    // printable area (rounded down), the width of a text and the height of a
    // line in the target's face at this size and weight (rounded up).
    virtual QSize pageSize() const = 0;
    virtual int textWidth(const QString& text, int points, bool bold) const = 0;
    virtual int lineHeight(int points, bool bold) const = 0;

    void printLine(const QList<Item>& items = {}) { print(items, true); }
    void printRun(const QList<Item>& items) { print(items, false); }

    bool ok() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

protected:
    void fail(const QString& reason)
    {
        if (m_error.isEmpty())
            m_error = reason.isEmpty() ? QStringLiteral("The printout failed") : reason;
    }

private:
    QString m_error;
};
