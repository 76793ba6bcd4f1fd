#pragma once

#include "KVClassesExport.h"

// The chart palette: each call makes one fixed colour the current colour
// (strokes and fills) of the painter that is drawing now (GraphicsContext).
// Without a current painter a call does nothing.
class KVCLASSES_EXPORT SetColor
{
public:
    static void setColorVeryFaintBlue();
    static void setColorQuiteFaintBlue();
    static void setColorFaintBlue();
    static void setColorModerateBlue();
    static void setColorBlue();
    static void setColorVeryFaintRed();
    static void setColorQuiteFaintRed();
    static void setColorFaintRed();
    static void setColorModerateRed();
    static void setColorRed();
    static void setColorFaintOrange();
    static void setColorModerateOrange();
    static void setColorOrange();
    static void setColorVeryFaintYellow();
    static void setColorQuiteFaintYellow();
    static void setColorFaintYellow();
    static void setColorModerateYellow();
    static void setColorYellow();
    static void setColorQuiteFaintGreen();
    static void setColorFaintGreen();
    static void setColorModerateGreen();
    static void setColorHeavyGreen();
    static void setColorGreen();
    static void setColorFaintGray();
    static void setColorModerateGray();
    static void setColorHeavyGray();
    static void setColorGray();
    static void setColorBlack();
};
