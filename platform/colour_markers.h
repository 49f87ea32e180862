// Log text carries colour markers: the byte 0xFD followed by six hex digits
// RRGGBB ("\xFD" "000000" returns to black).
#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// Removes colour markers (0xFD + six characters) from marked log text.
std::string StripColourMarkers(std::string_view marked);

} // namespace zarvex
