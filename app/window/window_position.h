// The saved rectangle of a secondary window: "Coordinates" of its own INI
// section, "left,top,right,bottom". A rectangle smaller than the window's
// minimum or larger than the screen is not used; one partly off the screen is
// moved onto it.
#pragma once

#include <string_view>

class QWidget;

namespace zarvex {

class IniFile;

void RestoreCoordinates(QWidget& window, const IniFile& ini, std::string_view section);
void StoreCoordinates(const QWidget& window, IniFile& ini, std::string_view section);

} // namespace zarvex
