#include "SetColor.h"

#include "GraphicsContext.h"

namespace {

void setCurrent(double red, double green, double blue, double alpha)
{
    GraphicsContext::setCurrentColor(QColor::fromRgbF(red, green, blue, alpha));
}

} // namespace

void SetColor::setColorVeryFaintBlue()
{
    setCurrent(0.0, 0.0, 1.0, 0.05);
}

void SetColor::setColorQuiteFaintBlue()
{
    setCurrent(0.0, 0.0, 1.0, 0.15);
}

void SetColor::setColorFaintBlue()
{
    setCurrent(0.0, 0.0, 1.0, 0.25);
}

void SetColor::setColorModerateBlue()
{
    setCurrent(0.0, 0.0, 1.0, 0.5);
}

void SetColor::setColorBlue()
{
    setCurrent(0.0, 0.0, 1.0, 1.0);
}

void SetColor::setColorVeryFaintRed()
{
    setCurrent(1.0, 0.0, 0.0, 0.05);
}

void SetColor::setColorQuiteFaintRed()
{
    setCurrent(1.0, 0.0, 0.0, 0.15);
}

void SetColor::setColorFaintRed()
{
    setCurrent(1.0, 0.0, 0.0, 0.25);
}

void SetColor::setColorModerateRed()
{
    setCurrent(1.0, 0.0, 0.0, 0.5);
}

void SetColor::setColorRed()
{
    setCurrent(1.0, 0.0, 0.0, 1.0);
}

void SetColor::setColorFaintOrange()
{
    setCurrent(1.0, 0.5, 0.0, 0.25);
}

void SetColor::setColorModerateOrange()
{
    setCurrent(1.0, 0.5, 0.0, 0.5);
}

void SetColor::setColorOrange()
{
    setCurrent(1.0, 0.5, 0.0, 1.0);
}

void SetColor::setColorVeryFaintYellow()
{
    setCurrent(1.0, 1.0, 0.0, 0.05);
}

void SetColor::setColorQuiteFaintYellow()
{
    setCurrent(1.0, 1.0, 0.0, 0.15);
}

void SetColor::setColorFaintYellow()
{
    setCurrent(1.0, 1.0, 0.0, 0.25);
}

void SetColor::setColorModerateYellow()
{
    setCurrent(1.0, 1.0, 0.0, 0.5);
}

void SetColor::setColorYellow()
{
    setCurrent(1.0, 1.0, 0.0, 1.0);
}

void SetColor::setColorQuiteFaintGreen()
{
    setCurrent(0.0, 1.0, 0.0, 0.15);
}

void SetColor::setColorFaintGreen()
{
    setCurrent(0.0, 1.0, 0.0, 0.25);
}

void SetColor::setColorModerateGreen()
{
    setCurrent(0.0, 1.0, 0.0, 0.5);
}

void SetColor::setColorHeavyGreen()
{
    setCurrent(0.1, 0.7, 0.1, 0.75);
}

void SetColor::setColorGreen()
{
    setCurrent(0.0, 1.0, 0.0, 1.0);
}

void SetColor::setColorFaintGray()
{
    setCurrent(0.5, 0.5, 0.5, 0.25);
}

void SetColor::setColorModerateGray()
{
    setCurrent(0.5, 0.5, 0.5, 0.5);
}

void SetColor::setColorHeavyGray()
{
    setCurrent(0.1, 0.1, 0.1, 0.75);
}

void SetColor::setColorGray()
{
    setCurrent(0.5, 0.5, 0.5, 1.0);
}

void SetColor::setColorBlack()
{
    setCurrent(0.0, 0.0, 0.0, 1.0);
}
