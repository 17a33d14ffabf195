#pragma once

#include <QRect>

// Geometry is designed in twips (1440 per inch) and converted once at the
// screen's logical DPI.
namespace Twips {
int toPixels(int twips);
int fromPixels(int pixels);
QRect rect(int left, int top, int width, int height);
QSize size(int width, int height);
QPoint point(int left, int top);
// Logical DPI used for the conversion; tests may fix it.
double dpi();
void setDpi(double dpi);
} // namespace Twips
