#include "model/data_types.h"

#include <array>

namespace zarvex {

std::string_view MsgTypeName(std::uint32_t msgType)
{
    static constexpr std::array<std::string_view, 10> kNames = {"TXT", "UU",  "XX",    "B64",    "HQX",
                                                                "yEnc", "QP", "BNews", "X-Face", "Face"};
    if (msgType == 0) return "?";
    for (std::size_t bit = 0; bit < kNames.size(); ++bit)
        if (msgType & (1u << bit)) return kNames[bit];
    return "Multi";
}

} // namespace zarvex
