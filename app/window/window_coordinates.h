// A window's position and size kept as "Coordinates" ("left,top,right,bottom")
// in a section of the INI file.
#pragma once

#include <string_view>

class QWidget;

namespace zarvex {

class IniFile;

// Applies the saved rectangle unless it is missing or smaller than the
// window's minimum size.
void RestoreCoordinates(QWidget& window, const IniFile& ini, std::string_view section);
void StoreCoordinates(const QWidget& window, IniFile& ini, std::string_view section);

} // namespace zarvex
