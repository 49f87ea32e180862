#include "app/window/window_coordinates.h"

#include "app/ini_file.h"

#include <QString>
#include <QWidget>

#include <cstdio>
#include <string>

namespace zarvex {

void RestoreCoordinates(QWidget& window, const IniFile& ini, std::string_view section)
{
    int l = 0, t = 0, r = 0, b = 0;
    const std::string value = ini.GetString(section, "Coordinates");
    if (std::sscanf(value.c_str(), "%d,%d,%d,%d", &l, &t, &r, &b) != 4) return;
    const QSize size(r - l, b - t);
    if (size.width() < window.minimumWidth() || size.height() < window.minimumHeight()) return;
    window.setGeometry(l, t, size.width(), size.height());
}

void StoreCoordinates(const QWidget& window, IniFile& ini, std::string_view section)
{
    const QRect g = window.geometry();
    ini.Set(section, "Coordinates",
            QString("%1,%2,%3,%4").arg(g.left()).arg(g.top()).arg(g.left() + g.width()).arg(g.top() + g.height())
                .toStdString());
}

} // namespace zarvex
