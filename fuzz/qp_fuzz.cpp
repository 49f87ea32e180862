// Quoted-Printable body lines: each input line (its line feed kept) goes
// through DecodeQPLine to a real file and through PeekDecodeQP. The decoded
// bytes never outgrow the line (one more for a CR before the line feed),
// and a peek stays within the room it is given.
#include "fuzz_support.h"

#include "codec/quoted_printable.h"
#include "io/buf_file.h"

#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    if (size == 0) return 0;
    const bool crlf = (data[0] & 1) != 0;
    const int room = data[0] >> 1;
    static CBufFile* out = [] {
        auto* f = new CBufFile;
        if (!f->Open(fuzz::ScratchFolder() + "/qp.out", CBufFile::modeWrite | CBufFile::modeCreate | CBufFile::typeBinary))
            std::abort();
        return f;
    }();
    out->SetLength(0);
    out->Seek(0, 0);
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
        std::vector<char> line(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end));
        rest.remove_prefix(end);
        const int len = static_cast<int>(line.size());
        line.push_back('\0');

        std::vector<unsigned char> dest(line.size() + 1, 0xAA);
        const int peeked = PeekDecodeQP(line.data(), dest.data(), len, room);
        if (peeked < 0 || peeked > len || (room > 0 && peeked > room) || dest[line.size()] != 0xAA) std::abort();

        const std::int64_t before = out->GetPosition();
        const int result = DecodeQPLine(line.data(), len, out, crlf);
        if (result < QP_OK || result > QP_HEADER) std::abort();
        if (out->GetPosition() - before > len + 1) std::abort();
    }
    return 0;
}
