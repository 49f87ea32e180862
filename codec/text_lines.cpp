#include "codec/text_lines.h"

#include "codec/tables.h"
#include "io/buf_file.h"
#include "text/unicode.h"

#include <cstdint>

namespace zarvex {

namespace {

// Collects the units of one run and joins surrogate pairs.
class UnitWriter
{
public:
    explicit UnitWriter(std::string& out) : m_Out(out) {}
    void Put(std::uint32_t unit)
    {
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            End();
            m_High = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF && m_High != 0) {
            AppendCodePoint(m_Out, 0x10000 + ((m_High - 0xD800) << 10) + (unit - 0xDC00));
            m_High = 0;
        } else {
            End();
            AppendCodePoint(m_Out, unit); // a lone low surrogate becomes "?"
        }
    }
    // A high surrogate nobody completed.
    void End()
    {
        if (m_High != 0) m_Out += '?';
        m_High = 0;
    }

private:
    std::string& m_Out;
    std::uint32_t m_High = 0;
};

// Length of the valid UTF-8 sequence at `s[0]`, 0 when it is broken.
int Utf8SequenceLength(const unsigned char* s, std::size_t n)
{
    const unsigned char c = s[0];
    int len = 0;
    std::uint32_t min = 0;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (n < static_cast<std::size_t>(len)) return 0;
    std::uint32_t cp = c & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

} // namespace

std::string Utf7LineToUtf8(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i++];
        if (c != '+') {
            out += c;
            continue;
        }
        if (i < line.size() && line[i] == '-') {
            out += '+';
            ++i;
            continue;
        }
        // A "+" that no Base64 letter follows opens no run ("1 + 1"): it is text.
        if (i == line.size() || kBase64Decode[static_cast<unsigned char>(line[i])] == kInvalid) {
            out += '+';
            continue;
        }
        UnitWriter units(out);
        std::uint32_t bits = 0;
        int nbits = 0;
        while (i < line.size()) {
            const unsigned v = kBase64Decode[static_cast<unsigned char>(line[i])];
            if (v == kInvalid) break;
            ++i;
            bits = ((bits << 6) | v) & 0x3FFFFF;
            nbits += 6;
            if (nbits >= 16) {
                nbits -= 16;
                units.Put((bits >> nbits) & 0xFFFF);
            }
        }
        units.End();
        if (i < line.size() && line[i] == '-') ++i;
    }
    return out;
}

int DecodeUTF7Line(const char* line, int len, CBufFile* out)
{
    if (!line || !out) return 8;
    const std::string text = Utf7LineToUtf8({line, static_cast<std::size_t>(len)});
    out->Write(text.data(), text.size());
    return 0;
}

std::string CleanUtf8(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    for (std::size_t i = 0; i < line.size();) {
        const int n = Utf8SequenceLength(s + i, line.size() - i);
        if (n == 0) {
            out += '?';
            ++i;
        } else {
            out.append(line.data() + i, static_cast<std::size_t>(n));
            i += static_cast<std::size_t>(n);
        }
    }
    return out;
}

int WriteUTF8AsAnsi(const char* line, int len, CBufFile* out)
{
    if (!line || !out) return 8;
    const std::string text = CleanUtf8({line, static_cast<std::size_t>(len)});
    out->Write(text.data(), text.size());
    return 0;
}

} // namespace zarvex
