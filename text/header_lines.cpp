// Mail and news header lines, and the "From " lines that separate the
// messages of a mailbox.
#include "text/text_utils.h"

#include "text/ascii.h"
#include "text/wild_match.h"

#include <array>
#include <string>

namespace zarvex {
namespace {

// Known header names in alphabetical order of their first letter. Entries
// with "*" are wildcard patterns over the whole line, the others prefixes;
// the trailing blank belongs to the name.
constexpr std::array<std::string_view, 43> kHeaderNames = {
    "Abuse-Reports-To: ",
    "Approved: ",
    "Archive-name: ",
    "Article ",
    "Author: ",
    "Bytes: ",
    "Cancel-Key: ",
    "Cancel-Lock: ",
    "CC: ",
    "Comments: ",
    "Content-*: *",
    "Date: ",
    "Distribution: ",
    "Face: ",
    "Followup-To: ",
    "From: ",
    "Get-It-From: ",
    "In-Reply-To: ",
    "Lines: ",
    "Mail-Copies-To: ",
    "Mail-To-News-Contact: ",
    "Message-ID: ",
    "Mime-Version: ",
    "Newsgroups: ",
    "NNTP-*: *",
    "Organization: ",
    "Originator: ",
    "Path: ",
    "Posting-number: ",
    "Posting-by: ",
    "References: ",
    "Reply-To: ",
    "Return-Path: ",
    "Status:",
    "Sender: ",
    "Sent: ",
    "Subject: ",
    "Submitted-by: ",
    "To: ",
    "User-Agent: ",
    "X-*: *",
    "Xdisclaimer: ",
    "Xref: ",
};

constexpr bool FirstLettersAscend()
{
    for (std::size_t i = 1; i < kHeaderNames.size(); ++i)
        if (AsciiUpper(kHeaderNames[i][0]) < AsciiUpper(kHeaderNames[i - 1][0])) return false;
    return true;
}
static_assert(FirstLettersAscend(), "the early stop of the search needs ascending first letters");
static_assert(kHeaderNames[10] == "Content-*: *" && kHeaderNames[42] == "Xref: ");

bool StartsWithKnownHeader(std::string_view line)
{
    const unsigned char first = AsciiUpper(line[0]);
    const std::string text(line); // the wildcard matcher wants a terminated text
    for (const std::string_view entry : kHeaderNames) {
        if (AsciiUpper(entry[0]) > first) break;
        if (entry.find('*') != std::string_view::npos) {
            if (WildMatch(text.c_str(), std::string(entry).c_str(), true) == 1) return true;
        } else if (StartsWithIgnoreCase(line, entry)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsHeaderOrSeparator(const char* line, int len, bool strict)
{
    if (!line || len <= 0) return false;
    const std::string_view text(line, static_cast<std::size_t>(len));
    if (IsAsciiSpace(text[0])) return false;

    // A mailbox separator: "From " and an address somewhere after it.
    if (text.substr(0, 5) == "From ") {
        const std::string rest(text.substr(5));
        if (WildMatch(rest.c_str(), "*?@?*", false) == 1) return true;
    }

    // "Name: value": the first white space must be a blank right after a colon.
    std::size_t k = 1;
    while (k < text.size() && !IsAsciiSpace(text[k]))
        ++k;
    if (k < text.size()) {
        if (text[k] != ' ' || text[k - 1] != ':') return false;
        if (!strict) return true;
    }
    return StartsWithKnownHeader(text);
}

} // namespace zarvex
