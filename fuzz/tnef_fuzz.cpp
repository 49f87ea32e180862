// The TNEF reader on hostile bytes (a signature in front, so that every run
// reaches the attributes). Checks what ReadTnef promises: no file and no
// body larger than the input could make (a compressed RTF reference makes
// at most 17 bytes of 2), and the same contents on a second reading.
#include "extract/tnef.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    const std::string bytes =
        std::string(kTnefSignature) + std::string(reinterpret_cast<const char*>(data), size);
    const std::optional<TnefContents> read = ReadTnef(bytes);
    // A stream with the signature and its key always reads, perhaps to nothing.
    if (!read) {
        if (size >= 2) std::abort();
        return 0;
    }
    for (const TnefFile& f : read->files)
        if (f.data.size() > bytes.size() || f.name.size() > bytes.size() * 2) std::abort();
    if (read->rtfBody && read->rtfBody->size() > bytes.size() * 9) std::abort();
    const std::optional<TnefContents> again = ReadTnef(bytes);
    if (again->files.size() != read->files.size() || again->rtfBody != read->rtfBody) std::abort();
    return 0;
}
