#pragma once

#include "platform/PrintTarget.h"

#include <QFont>
#include <QPainter>

class QPagedPaintDevice;

// The print target's painting, shared by the printer and the PDF file. Keeps
// the current position and font itself and draws with a QPainter on any paged
// device. A line that would run past the foot of the page starts a new page
// first, as a printer does, so a long day never loses its last slots.
class PainterPrintTarget : public PrintTarget
{
public:
    ~PainterPrintTarget() override;

    void setFontSize(int points) override;
    void setBold(bool on) override;
    void print(const QList<Item>& items, bool lineEnd) override;
    void drawLine(QPoint from, QPoint to) override;
    void drawBox(QPoint from, QPoint to) override;
    void newPage() override;
    void endDocument() override;
    void resetCoordinates() override;
    QSize pageSize() const override;
    int textWidth(const QString& text, int points, bool bold) const override;
    int lineHeight(int points, bool bold) const override;

    // The width of lines and box edges: thin, about half a point.
    static constexpr int PenTwips = 10;

protected:
    // Starts painting; on failure the target is failed with the reason.
    bool begin(QPagedPaintDevice* device, const QString& failureReason);
    // Runs after the painter has finished the document; hands it over.
    virtual bool finish() = 0;
    // Stops painting without handing anything over (for destructors, while
    // the device still exists).
    void abandon();

private:
    double toDevice(int twips) const { return twips * m_unitsPerTwip; }
    int toTwipsRoundedUp(double units) const;
    QFont fontOf(int points, bool bold) const;
    double currentLineSpacing() const;
    bool breakPageIfFull();
    bool startPage();

    QPagedPaintDevice* m_device = nullptr;
    QPainter m_painter;
    QFont m_font;
    double m_unitsPerTwip = 1.0;
    QPointF m_pos; // device units, top of the current line
    bool m_ended = false;
};
