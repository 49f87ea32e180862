// The encoding bits: what a part holds (`CFInfo::m_MsgType`) and what a
// line may be (ClassifyDataLine).
#pragma once

#include <cstdint>

namespace zarvex {

// Encoding bits (`CFInfo::m_MsgType`).
enum MsgType : std::uint32_t {
    MT_NONE = 0,
    MT_TXT = 0x001,
    MT_UU = 0x002,
    MT_XX = 0x004,
    MT_B64 = 0x008,
    MT_HQX = 0x010,
    MT_YENC = 0x020,
    MT_QP = 0x040,
    MT_BNEWS = 0x080,
    MT_XFACE = 0x100,
    MT_FACE = 0x200,
};

} // namespace zarvex
