// The text test of the quiet-line shortcut (quiet_lines.cpp tells which
// lines qualify and why), inline for the runs of such lines: one test made
// for the open part, then asked for every line.
#pragma once

#include "model/data_types.h"
#include "scan/scan_state.h"
#include "text/ascii.h"

#include <cstring>
#include <string_view>

namespace zarvex::scan {

class QuietLineTest
{
public:
    // For the open part of `s` (there must be one).
    explicit QuietLineTest(const ScanState& s) : m_Type(s.current->m_MsgType), m_Base64Length(s.b64LineLength) {}

    // `text` is the line without its break (k bytes, the folded line k + 1);
    // its first blank is at `blank` (k when it has none).
    bool operator()(const char* text, int k, int blank) const
    {
        return k + 1 >= kShortest && QuietLead(text, k) && QuietForType(text, k, blank);
    }

private:
    static constexpr int kShortest = 6;

    static bool Starts(const char* text, int k, std::string_view prefix)
    {
        return k >= static_cast<int>(prefix.size()) && std::memcmp(text, prefix.data(), prefix.size()) == 0;
    }

    static bool StartsNoCase(const char* text, int k, std::string_view prefix)
    {
        return k >= static_cast<int>(prefix.size()) && EqualsIgnoreCase({text, prefix.size()}, prefix);
    }

    static bool QuietLead(const char* text, int k)
    {
        const auto first = static_cast<unsigned char>(text[0]);
        if (IsAsciiSpace(first) || first == '-' || first == '>' || first == ':') return false;
        const unsigned char a = AsciiUpper(first);
        const unsigned char b = AsciiUpper(static_cast<unsigned char>(text[1]));
        if (a == 'M' && b == 'I') return !StartsNoCase(text, k, "Mime-Version:");
        if (a == 'C' && b == 'O') return !StartsNoCase(text, k, "Content-");
        return true;
    }

    // A line holding a blank: no header line (the first blank follows no
    // colon, whatever white space comes before it) and no keyword or
    // separator that needs a blank.
    static bool QuietWithBlank(const char* text, int k, int blank)
    {
        if (blank > 0 && text[blank - 1] == ':') return false;
        switch (text[0]) {
        case 'b':
            return !Starts(text, k, "begin");
        case '(':
            return !Starts(text, k, "(This");
        case '=':
            return !Starts(text, k, "=y");
        case '<':
            return !Starts(text, k, "<<");
        case 'A':
            return !Starts(text, k, "Article ");
        case 's':
            return !Starts(text, k, "section ");
        case 'F':
            return !Starts(text, k, "From ");
        default:
            return true;
        }
    }

    bool QuietForType(const char* text, int k, int blank) const
    {
        const bool startsNothing = blank >= k || QuietWithBlank(text, k, blank);
        const auto first = static_cast<unsigned char>(text[0]);
        const auto last = static_cast<unsigned char>(text[k - 1]);
        switch (m_Type) {
        case MT_UU:
        case MT_XX:
            return startsNothing;
        case MT_YENC:
            return first != '=' && first != '(' && first != '<' && startsNothing;
        case MT_HQX:
            return last != ':' && startsNothing;
        case MT_QP:
            return LastNonBlankOf(text, k) != '-' && startsNothing;
        case MT_B64:
            return m_Base64Length != 0 && k + 1 == m_Base64Length && last != '=' && !IsAsciiSpace(last) &&
                   blank >= k;
        default:
            return false;
        }
    }

    std::uint32_t m_Type;
    int m_Base64Length;
};

} // namespace zarvex::scan
