#include "uColor.h"

#include <QGuiApplication>

namespace {
constexpr TColor kSystemColorFlag = 0x80000000;
} // namespace

QPalette::ColorRole SystemColorRole(unsigned Index) {
    switch (Index) {
    case 1: return QPalette::Window;           // desktop
    case 2: return QPalette::Highlight;        // active caption
    case 3: return QPalette::Mid;              // inactive caption
    case 4: return QPalette::Window;           // menu
    case 5: return QPalette::Base;             // window background
    case 6: return QPalette::Shadow;           // window frame
    case 7: return QPalette::WindowText;       // menu text
    case 8: return QPalette::Text;             // window text
    case 9: return QPalette::HighlightedText;  // caption text
    case 12: return QPalette::Dark;            // application workspace
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 16: return QPalette::Dark;            // button shadow
    case 17: return QPalette::PlaceholderText; // grey text
    case 18: return QPalette::ButtonText;
    case 19: return QPalette::WindowText;      // inactive caption text
    case 20: return QPalette::Light;           // button highlight
    case 21: return QPalette::Shadow;          // dark 3-D shadow
    case 22: return QPalette::Midlight;        // 3-D light
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    case 26: return QPalette::Link;            // hot-tracked item
    case 27: return QPalette::Highlight;       // gradient of the active caption
    case 28: return QPalette::Mid;             // gradient of the inactive caption
    case 29: return QPalette::Highlight;       // menu highlight
    case 30: return QPalette::Window;          // menu bar
    default: return QPalette::Button;          // 0 scroll bar, 10/11 borders, 15 button face, unknown
    }
}

QColor ColorToQColor(TColor Color, const QPalette &Palette) {
    if (Color & kSystemColorFlag)
        return Palette.color(QPalette::Active, SystemColorRole(Color & 0xFF));
    return QColor(static_cast<int>(Color & 0xFF), static_cast<int>((Color >> 8) & 0xFF),
                  static_cast<int>((Color >> 16) & 0xFF));
}

QColor ColorToQColor(TColor Color) {
    return ColorToQColor(Color, QGuiApplication::palette());
}
