// A line as the engine handles it: at most 1,023 bytes of text (longer lines
// arrive in pieces), a trailing CR LF folded to one LF, always zero-terminated.
#pragma once

#include <cstring>
#include <string_view>

namespace zarvex {

inline constexpr int kLineBufferSize = 1024;
inline constexpr int kMaxLineText = kLineBufferSize - 1;

struct LineBuffer {
    // Room for the reader's line break and terminator beyond the text.
    char text[kLineBufferSize + 4] = {};
    int len = 0;

    std::string_view View() const { return {text, static_cast<std::size_t>(len)}; }
    bool Empty() const { return len == 0; }
    char First() const { return len > 0 ? text[0] : '\0'; }
    bool EndsWithLF() const { return len > 0 && text[len - 1] == '\n'; }
    void Clear()
    {
        len = 0;
        text[0] = '\0';
    }
    void Assign(const LineBuffer& other)
    {
        std::memcpy(text, other.text, static_cast<std::size_t>(other.len) + 1);
        len = other.len;
    }
    // Removes the line break (LF, and a CR before it).
    void StripLineEnd()
    {
        while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r')) --len;
        text[len] = '\0';
    }
    // Cuts the first `n` bytes when the line is longer than that.
    void CutFront(int n)
    {
        if (n <= 0 || len <= n) return;
        std::memmove(text, text + n, static_cast<std::size_t>(len - n) + 1);
        len -= n;
    }
    // Appends as much of `more` as fits the buffer.
    void Append(std::string_view more)
    {
        const std::size_t room = static_cast<std::size_t>(kMaxLineText - len);
        const std::size_t n = more.size() < room ? more.size() : room;
        std::memcpy(text + len, more.data(), n);
        len += static_cast<int>(n);
        text[len] = '\0';
    }
};

} // namespace zarvex
