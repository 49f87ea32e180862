// Encoding bits of a part (its message type) and the file type table.
#pragma once

#include "codec/msg_type.h"
#include "model/settings.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zarvex {

// The name of the lowest named bit; "?" for 0, "Multi" for none of the named bits.
std::string_view MsgTypeName(std::uint32_t msgType);

// DataType indexes with a meaning of their own in the code.
enum DataType : int {
    DT_UNKNOWN = 0,
    DT_JPG = 1,
    DT_ZIP = 2,
    DT_GIF = 3,
    DT_BMP = 6,
    DT_EXE = 9,
    DT_PS = 11,
    DT_PNG = 18,
    DT_RTF = 21,
    DT_TXT = 22,
    DT_HTM = 23,
    DT_HQX = 24,
    DT_OCT = 31,
    DT_APP = 32,
    DT_WRI = 41,
    DT_MSAPP = 43,
    DT_PDF = 44,
    DT_APL = 60,
};

inline constexpr std::array<std::string_view, kDataTypeCount> kDataTypeNames = {
    "---", "jpg", "zip", "gif", "wav", "avi",  "bmp",  "doc",  "mid",  "exe",  "hlp",  "ps",
    "au",  "voc", "aif", "mpg", "lha", "zoo",  "png",  "mov",  "tif",  "rtf",  "txt",  "htm",
    "hqx", "sit", "sh",  "tar", "tgz", "z",    "gz",   "oct",  "app",  "img",  "arj",  "vid",
    "aud", "snd", "ra",  "rar", "pcx", "wri",  "pic",  "MSapp", "pdf", "mapi", "mp3",  "psd",
    "jar", "ace", "iff", "vqf", "wmf", "prz",  "ram",  "sid",  "wmv",  "wma",  "xif",  "7z",
    "apl", "ogg", "asf", "par2", "swf", "mp4", "arc",  "rar5", "flac", "webp", "webm", "heic"};
static_assert(kDataTypeNames[22] == "txt" && kDataTypeNames[60] == "apl" && kDataTypeNames[71] == "heic");

inline std::string_view DataTypeName(int dataType)
{
    return dataType >= 0 && dataType < kDataTypeCount ? kDataTypeNames[dataType] : kDataTypeNames[0];
}

} // namespace zarvex
