// The UU and XX group decoders on every path: the best kernel of this CPU
// (the vector kernel for UU), the scalar loop forced, and the plain
// one-group-at-a-time reference. All three must give the same bytes and the
// same findings (the whole line decoders are fuzzed by codec_fuzz).
#include "fuzz_support.h"

#include "codec/six_bit.h"
#include "codec/tables.h"
#include "io/buf_file.h"

#include <cstring>
#include <string>

namespace {

using namespace zarvex;
using namespace zarvex::detail;

struct Decoded
{
    GroupsDecoded r;
    std::string bytes;
};

template <typename Run>
Decoded Collect(const std::string& path, Run run)
{
    Decoded d;
    {
        CBufFile out;
        if (!out.Open(path, CBufFile::modeWrite | CBufFile::modeCreate | CBufFile::typeBinary)) std::abort();
        LineSink sink(&out);
        d.r = run(sink);
        sink.Flush();
        out.Close();
    }
    d.bytes = fuzz::ReadBytes(path);
    return d;
}

bool Same(const Decoded& a, const Decoded& b, int len)
{
    if (a.bytes != b.bytes || a.r.end != b.r.end || a.r.invalid != b.r.invalid) return false;
    // The byte sum is defined only when characters follow the groups.
    return a.r.end >= len || a.r.byteSum == b.r.byteSum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const bool xx = (data[0] & 1) != 0;
    const int n = data[1];
    const unsigned char* s = data + 2;
    const int len = static_cast<int>(std::min<std::size_t>(size - 2, 1024));
    const DecodeTable& table = xx ? kXXDecode : kUUDecode;
    const unsigned char missing = xx ? kInvalid : 0;
    const std::string path = fuzz::ScratchFolder() + "/groups.bin";

    const Decoded best = Collect(path, [&](LineSink& sink) {
        return DecodeGroups(s, len, n, table, missing, sink, SixBitKernel::Best);
    });
    const Decoded scalar = Collect(path, [&](LineSink& sink) {
        return DecodeGroups(s, len, n, table, missing, sink, SixBitKernel::Scalar);
    });
    const Decoded plain =
        Collect(path, [&](LineSink& sink) { return DecodeGroupsPlain(s, len, n, table, missing, sink); });
    if (!Same(best, plain, len) || !Same(scalar, plain, len)) std::abort();

    // A full line's 60 characters through the widest kernel and the table loop.
    if (!xx && len >= 60) {
        unsigned char wide[45], narrow[45];
        const bool wideOk = DecodeUUFullLine(s, wide, SixBitKernel::Best);
        if (wideOk != DecodeUUFullLine(s, narrow, SixBitKernel::Scalar)) std::abort();
        if (wideOk && std::memcmp(wide, narrow, sizeof wide) != 0) std::abort();
    }
    return 0;
}
