#pragma once
// TColor (0x00BBGGRR, or 0x80000000 + a system-colour index) as a Qt colour.
#include "IODescription.h"

#include <QColor>
#include <QPalette>

// An RGB TColor as it is; a system colour from Palette (the application's when
// none is given); an unknown system index reads as the button face.
QColor ColorToQColor(TColor Color);
QColor ColorToQColor(TColor Color, const QPalette &Palette);
// The palette role that stands for a system-colour index.
QPalette::ColorRole SystemColorRole(unsigned Index);
