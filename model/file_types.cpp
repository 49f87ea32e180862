// Type detection on the first encoded line of a section.
#include "model/file_types.h"

#include "codec/base64.h"
#include "codec/uuxx.h"
#include "codec/yenc.h"
#include "model/data_types.h"

#include <array>

namespace zarvex {
namespace {

// Shorter lines carry too few bytes to tell anything.
constexpr int kShortestExaminedLine = 16;

// Bytes decoded from `line` into `sample`, 0 for encodings without a peek decoder.
int PeekDecode(const char* line, int len, std::uint32_t msgType, unsigned char* sample)
{
    switch (msgType) {
    case MT_UU:
        return PeekDecodeUU(line, sample, len, kTypeSampleFill);
    case MT_XX:
        return PeekDecodeXX(line, sample, len, kTypeSampleFill);
    case MT_B64:
        return PeekDecodeBase64(line, sample, len, kTypeSampleFill, false);
    case MT_YENC:
        return PeekDecodeYenc(line, sample, len, kTypeSampleFill);
    case MT_HQX:
    case MT_BNEWS:
        // Their peek decoders come with the BinHex and BNews decoders; until
        // then these sections stay untyped.
        return 0;
    default:
        return 0;
    }
}

} // namespace

int DetectDataType(const char* line, int len, std::uint32_t msgType)
{
    if (line == nullptr || msgType == MT_NONE || msgType == MT_QP || len < kShortestExaminedLine)
        return DT_UNKNOWN;
    std::array<unsigned char, kTypeSampleSize> sample{};
    const int filled = PeekDecode(line, len, msgType, sample.data());
    return filled > 0 ? DetectSignature(sample.data(), filled) : DT_UNKNOWN;
}

} // namespace zarvex
