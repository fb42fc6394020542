#pragma once
// Positions and sizes are kept in twips (1440 to the inch) and converted to
// pixels at the widget edge with the screen's logical DPI.
#include <QGuiApplication>
#include <QScreen>

namespace Twips {

inline double dpiX() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
inline double dpiY() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}
inline int toPixelsX(double twips) { return static_cast<int>(twips * dpiX() / 1440.0 + 0.5); }
inline int toPixelsY(double twips) { return static_cast<int>(twips * dpiY() / 1440.0 + 0.5); }
inline double fromPixelsX(int px) { return px * 1440.0 / dpiX(); }
inline double fromPixelsY(int px) { return px * 1440.0 / dpiY(); }

}  // namespace Twips
