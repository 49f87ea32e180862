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
// of the first CR or LF after it and of the first blank before that. The
// masks cover a window of whole blocks that starts at a line start (256
// bytes first, then 1 KB); a line that runs past its end starts the next
// window. The breaks not yet passed are kept for the next line (a line
// asked for right after the break of the one before is found from there),
// the first blank found for the lines up to it.
class LineBreaks
{
public:
    LineBreaks(const unsigned char* data, std::size_t n) : m_Data(data), m_Size(n) {}

    // For the line at `at`: `k` gets the length of its text before the
    // first CR or LF, `blank` the index in it of the first blank (k when it
    // has none). False when no break lies in the `limit` bytes after `at`
    // (a limit of 1 KB at most), when the byte after the break is not inside
    // the data, or when the line reaches into the last bytes that fill no
    // block of 64; the caller then leaves the line to a slower reader. Lines
    // are asked for in ascending order.
    [[gnu::always_inline]] bool Next(std::size_t at, std::size_t limit, std::size_t& k, std::size_t& blank)
    {
        if (at != m_Pos && !Seek(at)) return false;
        bool reloaded = false;
        while (m_Bits == 0) {
            if (++m_Block == m_Blocks) {
                // The line runs past the window: a window of its own, once.
                if (reloaded || (at == m_Base && m_Blocks == kBlocks) || !Load(at)) return false;
                reloaded = true;
                continue;
            }
            m_Bits = m_Breaks[m_Block];
        }
        const std::size_t stop = m_Base + m_Block * 64 + static_cast<std::size_t>(__builtin_ctzll(m_Bits));
        m_Bits &= m_Bits - 1;
        m_Pos = stop + 1;
        k = stop - at;
        if (k >= limit || stop + 1 >= m_Size) return false;
        if (at < m_BlankFrom || at > m_NextBlank) {
            m_BlankFrom = at;
            m_NextBlank = FirstBlank(at);
        }
        blank = m_NextBlank < stop ? m_NextBlank - at : k;
        return true;
    }

private:
    static constexpr std::size_t kFirstBlocks = 4;
    static constexpr std::size_t kBlocks = 16;
    static constexpr std::size_t kNone = ~std::size_t{0};

    // The breaks from `at` on; false when no whole block is left there.
    bool Seek(std::size_t at)
    {
        if (at < m_Base || at >= m_End) return Load(at);
        m_Block = (at - m_Base) / 64;
        m_Bits = m_Breaks[m_Block] & (~std::uint64_t{0} << ((at - m_Base) % 64));
        m_Pos = at;
        return true;
    }

    // The first blank at or after `from` in the window; m_End when it holds none.
    std::size_t FirstBlank(std::size_t from) const
    {
        std::size_t block = (from - m_Base) / 64;
        std::uint64_t blanks = m_Blanks[block] & (~std::uint64_t{0} << ((from - m_Base) % 64));
        while (blanks == 0) {
            if (++block == m_Blocks) return m_End;
            blanks = m_Blanks[block];
        }
        return m_Base + block * 64 + static_cast<std::size_t>(__builtin_ctzll(blanks));
    }

    // Masks for the whole blocks from `pos` on (a line start); false when none is left.
    bool Load(std::size_t pos)
    {
        const std::size_t most = m_End == 0 ? kFirstBlocks : kBlocks;
        const std::size_t blocks = pos < m_Size ? std::min(most, (m_Size - pos) / 64) : 0;
        if (blocks == 0) return false;
        BreakAndBlankMasks(m_Data + pos, blocks, m_Breaks, m_Blanks);
        m_Base = pos;
        m_Blocks = blocks;
        m_End = pos + 64 * blocks;
        m_Block = 0;
        m_Bits = m_Breaks[0];
        m_Pos = pos;
        m_BlankFrom = kNone;
        return true;
    }

    const unsigned char* m_Data;
    std::size_t m_Size;
    std::size_t m_Base = 0;
    std::size_t m_Blocks = 0;
    std::size_t m_End = 0; // masks cover [m_Base, m_End)
    // The breaks of block m_Block from m_Pos on.
    std::size_t m_Block = 0;
    std::uint64_t m_Bits = 0;
    std::size_t m_Pos = kNone;
    // The first blank at or after m_BlankFrom is at m_NextBlank (m_End: none in the window).
    std::size_t m_BlankFrom = kNone;
    std::size_t m_NextBlank = 0;
    std::uint64_t m_Breaks[kBlocks]; // written by Load before any read
    std::uint64_t m_Blanks[kBlocks];
};

} // namespace zarvex::scan
