#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
double g_dpi = 0;
}

namespace Twips {
double dpi()
{
    if (g_dpi <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        g_dpi = screen ? screen->logicalDotsPerInch() : 96.0;
        if (g_dpi <= 0)
            g_dpi = 96.0;
    }
    return g_dpi;
}

void setDpi(double value)
{
    g_dpi = value;
}

int toPixels(int twips)
{
    return int(std::lround(twips * dpi() / 1440.0));
}

int fromPixels(int pixels)
{
    return int(std::lround(pixels * 1440.0 / dpi()));
}

QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

QPoint point(int left, int top)
{
    return QPoint(toPixels(left), toPixels(top));
}
} // namespace Twips
