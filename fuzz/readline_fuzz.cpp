// Reads arbitrary bytes line by line through CBufFile with a line limit the
// first two bytes choose; every line is peeked first. Checks: a peek gives
// the line the read then returns, no line is longer than its buffer allows,
// and the lengths add up to the file size (each byte consumed once).
#include "fuzz_support.h"

#include "io/buf_file.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using zarvex::CBufFile;
    if (size < 2) return 0;
    const int max = (data[0] | data[1] << 8) % 1100;
    const std::string path = zarvex::fuzz::ScratchFolder() + "/lines.txt";
    zarvex::fuzz::WriteBytes(path, data + 2, size - 2);

    CBufFile file;
    if (!file.Open(path, CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary)) std::abort();
    std::vector<char> line(static_cast<std::size_t>(max) + 2), peek(line.size());
    std::size_t total = 0;
    int emptyInARow = 0;
    for (;;) {
        int peeked = -1;
        const bool hadPeek = file.PeekLine(peek.data(), max, &peeked) != nullptr;
        int n = -1;
        bool complete = false;
        if (!file.ReadLine(line.data(), max, &n, &complete)) {
            if (hadPeek && peeked > 0) std::abort(); // the peek saw a line the read did not
            break;
        }
        if (n < 0 || n > max + 1 || line[static_cast<std::size_t>(n)] != '\0') std::abort();
        if (hadPeek && (peeked != n || std::memcmp(peek.data(), line.data(), static_cast<std::size_t>(n)) != 0))
            std::abort();
        total += static_cast<std::size_t>(n);
        if (max < 2) break; // every line is empty and incomplete
        // A line that consumes nothing may come once (after CR CR), never twice.
        emptyInARow = n == 0 ? emptyInARow + 1 : 0;
        if (emptyInARow > 1) std::abort();
    }
    file.Close();
    if (max >= 2 && total != size - 2) std::abort();
    return 0;
}
