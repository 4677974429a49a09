#include "controls/Twips.h"

#include <cmath>
#include <QGuiApplication>
#include <QScreen>

namespace tavro {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

double logicalDpi()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const double dpi = screen->logicalDotsPerInch();
            if (dpi > 0)
                return dpi;
        }
    }
    return 96.0;
}

int twips(int twipValue)
{
    return static_cast<int>(std::lround(twipValue * logicalDpi() / kTwipsPerInch));
}

float pixelsToTwips(double pixels)
{
    return static_cast<float>(pixels * kTwipsPerInch / logicalDpi());
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace tavro
