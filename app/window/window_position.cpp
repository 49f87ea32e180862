#include "app/window/window_position.h"

#include "app/ini_file.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <string>

namespace zarvex {

void RestoreCoordinates(QWidget& window, const IniFile& ini, std::string_view section)
{
    int l = 0, t = 0, r = 0, b = 0;
    const std::string value = ini.GetString(section, "Coordinates");
    if (std::sscanf(value.c_str(), "%d,%d,%d,%d", &l, &t, &r, &b) != 4) return;
    QRect rect(l, t, r - l, b - t);
    if (rect.width() < window.minimumWidth() || rect.height() < window.minimumHeight()) return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableVirtualGeometry();
        if (rect.width() > area.width() || rect.height() > area.height()) return;
        rect.moveLeft(std::clamp(rect.left(), area.left(), area.right() - rect.width() + 1));
        rect.moveTop(std::clamp(rect.top(), area.top(), area.bottom() - rect.height() + 1));
    }
    window.setGeometry(rect);
}

void StoreCoordinates(const QWidget& window, IniFile& ini, std::string_view section)
{
    const QRect g = window.geometry();
    const std::string value = std::to_string(g.left()) + "," + std::to_string(g.top()) + "," +
                              std::to_string(g.left() + g.width()) + "," +
                              std::to_string(g.top() + g.height());
    ini.Set(section, "Coordinates", value);
}

} // namespace zarvex
