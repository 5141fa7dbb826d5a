#pragma once

#include <QRect>

// Windows are designed in twips (1/1440 inch); 15 twips make one pixel at 96 dpi.
constexpr int TwipsPerPixel = 15;

// Twips to whole pixels, rounded to the nearest.
constexpr int TwipsToPixels(int twips) {
    return (twips + TwipsPerPixel / 2) / TwipsPerPixel;
}

// A rectangle given in twips (left, top, width, height), in pixels.
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}
