// The text test of the quiet-line shortcut (quiet_lines.cpp tells which
// lines qualify and why), inline for the runs of such lines: one test made
// for the open part, then asked for every line.
#pragma once

#include "model/data_types.h"
#include "scan/scan_state.h"
#include "text/ascii.h"

#include <array>
#include <cstring>
#include <string_view>

namespace zarvex::scan {

class QuietLineTest
{
public:
    // For the open part of `s` (there must be one).
    explicit QuietLineTest(const ScanState& s) : m_Type(s.current->m_MsgType), m_Base64Length(s.b64LineLength) {}

    std::uint32_t Type() const { return m_Type; }

    // `text` is the line without its break (k bytes, the folded line k + 1);
    // its first blank is at `blank` (k when it has none).
    bool operator()(const char* text, int k, int blank) const
    {
        switch (m_Type) {
        case MT_UU:
        case MT_XX:
            return For<MT_UU>(text, k, blank);
        case MT_YENC:
            return For<MT_YENC>(text, k, blank);
        case MT_HQX:
            return For<MT_HQX>(text, k, blank);
        case MT_QP:
            return For<MT_QP>(text, k, blank);
        case MT_B64:
            return For<MT_B64>(text, k, blank);
        default:
            return false;
        }
    }

    // The same test for a part of the type given (MT_UU stands for XX too),
    // for the run loops made for one type.
    template <std::uint32_t kType>
    bool For(const char* text, int k, int blank) const
    {
        if constexpr (kType == MT_B64) {
            // The length settles most lines before the lead is looked at.
            return m_Base64Length != 0 && k + 1 == m_Base64Length && k + 1 >= kShortest && blank >= k &&
                   text[k - 1] != '=' && !IsAsciiSpace(static_cast<unsigned char>(text[k - 1])) &&
                   QuietLead(text, k);
        } else {
            return k + 1 >= kShortest && QuietLead(text, k) && QuietForType<kType>(text, k, blank);
        }
    }

private:
    static constexpr int kShortest = 6;

    // What the first byte of a line may start: nothing, a MIME header field
    // ("Mi" or "Co", any case), or anything else that ends a run (white
    // space, a boundary or a quoting prefix).
    enum Lead : unsigned char
    {
        kNothing,
        kMi,
        kCo,
        kStop,
    };
    static constexpr std::array<Lead, 256> kLeads = [] {
        std::array<Lead, 256> leads{};
        for (int c = 0; c < 256; ++c)
            if (IsAsciiSpace(static_cast<unsigned char>(c)) || c == '-' || c == '>' || c == ':') leads[c] = kStop;
        leads['M'] = leads['m'] = kMi;
        leads['C'] = leads['c'] = kCo;
        return leads;
    }();

    static bool Starts(const char* text, int k, std::string_view prefix)
    {
        return k >= static_cast<int>(prefix.size()) && std::memcmp(text, prefix.data(), prefix.size()) == 0;
    }

    static bool StartsNoCase(const char* text, int k, std::string_view prefix)
    {
        return k >= static_cast<int>(prefix.size()) && EqualsIgnoreCase({text, prefix.size()}, prefix);
    }

    [[gnu::always_inline]] static bool QuietLead(const char* text, int k)
    {
        const Lead lead = kLeads[static_cast<unsigned char>(text[0])];
        if (lead == kNothing) [[likely]]
            return true;
        const unsigned char b = AsciiUpper(static_cast<unsigned char>(text[1]));
        if (lead == kMi) return b != 'I' || !StartsNoCase(text, k, "Mime-Version:");
        if (lead == kCo) return b != 'O' || !StartsNoCase(text, k, "Content-");
        return false;
    }

    // The keywords and separators that take a blank, by their first byte.
    static constexpr std::array<std::string_view, 8> kBlankKeywords = {
        "", "begin", "(This", "=y", "<<", "Article ", "section ", "From "};
    static constexpr std::array<unsigned char, 256> kBlankKeywordOf = [] {
        std::array<unsigned char, 256> of{};
        for (unsigned char i = 1; i < kBlankKeywords.size(); ++i)
            of[static_cast<unsigned char>(kBlankKeywords[i][0])] = i;
        return of;
    }();

    // A line holding a blank: no header line (the first blank follows no
    // colon, whatever white space comes before it) and no keyword or
    // separator that needs a blank.
    [[gnu::always_inline]] static bool QuietWithBlank(const char* text, int k, int blank)
    {
        if (blank > 0 && text[blank - 1] == ':') return false;
        const unsigned char keyword = kBlankKeywordOf[static_cast<unsigned char>(text[0])];
        if (keyword == 0) [[likely]]
            return true;
        // Every keyword has a second byte, and every line tested here one (k >= 5).
        const std::string_view word = kBlankKeywords[keyword];
        return text[1] != word[1] || !Starts(text, k, word);
    }

    template <std::uint32_t kType>
    static bool QuietForType(const char* text, int k, int blank)
    {
        const bool startsNothing = blank >= k || QuietWithBlank(text, k, blank);
        const auto first = static_cast<unsigned char>(text[0]);
        const auto last = static_cast<unsigned char>(text[k - 1]);
        if constexpr (kType == MT_YENC)
            return first != '=' && first != '(' && first != '<' && startsNothing;
        else if constexpr (kType == MT_HQX)
            return last != ':' && startsNothing;
        else if constexpr (kType == MT_QP)
            return LastNonBlankOf(text, k) != '-' && startsNothing;
        else
            return startsNothing;
    }

    std::uint32_t m_Type;
    int m_Base64Length;
};

} // namespace zarvex::scan
