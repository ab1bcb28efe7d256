#pragma once

#include <QRect>
#include <QtMath>

// The window's layout unit, 1/1440 inch: 15 twips make one logical pixel at 96 dots
// per inch. High-density screens scale logical pixels themselves.
class Twips
{
public:
    static constexpr int PerPixel = 15;

    static int toPixels(int twips) { return qRound(twips / double(PerPixel)); }
    static QRect toPixels(int left, int top, int width, int height)
    {
        return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    }
};
