#include "platform/colour_markers.h"

namespace zarvex {

std::string StripColourMarkers(std::string_view marked)
{
    std::string out;
    out.reserve(marked.size());
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (static_cast<unsigned char>(marked[i]) == 0xFD) {
            i += 6; // the marker byte and its six colour characters
            continue;
        }
        out += marked[i];
    }
    return out;
}

} // namespace zarvex
