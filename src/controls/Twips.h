#pragma once

#include <QRect>

namespace tavro {

/// Pixels per inch of the primary screen's logical resolution (96 when there is no screen).
double logicalDpi();

/// \brief Converts a length in twips (1/1440 inch) to pixels: 15 twips per pixel at 96 DPI,
/// scaled by the screen's logical DPI, rounded to the nearest pixel.
int twips(int twipValue);

/// Converts a length in pixels back to twips (used for the X/Y of mouse events).
float pixelsToTwips(double pixels);

/// A geometry given in twips, as pixels: `widget->setGeometry(twipsRect(120, 180, 1095, 375))`.
QRect twipsRect(int left, int top, int width, int height);

} // namespace tavro
