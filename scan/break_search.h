// The search behind the quiet-line runs: the line breaks of the lines in
// the read buffer and the first blank of each line, found for 512 bytes at
// a time as bit masks, and without counting binary-looking bytes (nothing
// reads those counts for a scanned file).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace zarvex::scan {

// Bit per byte of `blocks` blocks of 64 bytes at `data`: CR or LF in
// `breaks`, blank (0x20) in `blanks`.
void BreakAndBlankMasks(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks,
                        std::uint64_t* blanks);
// The same, one byte at a time (the reference of the tests).
void BreakAndBlankMasksPlain(const unsigned char* data, std::size_t blocks, std::uint64_t* breaks,
                             std::uint64_t* blanks);

// The lines of data[0, n), one after another from a line start: the index
// of the first CR or LF after it and of the first blank before that.
class LineBreaks
{
public:
    LineBreaks(const unsigned char* data, std::size_t n) : m_Data(data), m_Size(n) {}

    // For the line at `at`: `k` gets the length of its text before the
    // first CR or LF, `blank` the index in it of the first blank (k when it
    // has none). False when no break lies in the `limit` bytes after `at`,
    // when the byte after the break is not inside the data, or when the line
    // reaches into the last bytes that fill no block of 64; the caller then
    // leaves the line to a slower reader. Lines are asked for in ascending order.
    bool Next(std::size_t at, std::size_t limit, std::size_t& k, std::size_t& blank)
    {
        std::size_t firstBlank = kNone;
        for (std::size_t pos = at;;) {
            if (pos >= m_End && !Load(pos)) return false;
            const std::size_t block = (pos - m_Base) / 64;
            const auto shift = static_cast<unsigned>((pos - m_Base) % 64);
            const std::uint64_t breaks = m_Breaks[block] >> shift;
            std::uint64_t blanks = m_Blanks[block] >> shift;
            if (breaks != 0) {
                const auto stop = static_cast<std::size_t>(__builtin_ctzll(breaks));
                blanks &= (std::uint64_t{1} << stop) - 1; // stop < 64: the shift keeps at most 63 bits set
                if (firstBlank == kNone && blanks != 0) firstBlank = pos + static_cast<std::size_t>(__builtin_ctzll(blanks));
                k = pos + stop - at;
                if (k >= limit || pos + stop + 1 >= m_Size) return false;
                blank = firstBlank == kNone ? k : firstBlank - at;
                return true;
            }
            if (firstBlank == kNone && blanks != 0) firstBlank = pos + static_cast<std::size_t>(__builtin_ctzll(blanks));
            pos = m_Base + (block + 1) * 64;
            if (pos - at >= limit) return false;
        }
    }

private:
    static constexpr std::size_t kNone = ~std::size_t{0};
    static constexpr std::size_t kBlocks = 8;

    // Masks for the whole blocks from `pos` on; false when none is left.
    bool Load(std::size_t pos)
    {
        const std::size_t blocks = pos < m_Size ? std::min(kBlocks, (m_Size - pos) / 64) : 0;
        if (blocks == 0) return false;
        BreakAndBlankMasks(m_Data + pos, blocks, m_Breaks, m_Blanks);
        m_Base = pos;
        m_End = pos + 64 * blocks;
        return true;
    }

    const unsigned char* m_Data;
    std::size_t m_Size;
    std::size_t m_Base = 0;
    std::size_t m_End = 0; // masks cover [m_Base, m_End)
    std::uint64_t m_Breaks[kBlocks] = {};
    std::uint64_t m_Blanks[kBlocks] = {};
};

} // namespace zarvex::scan
