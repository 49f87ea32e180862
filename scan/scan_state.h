// The state of one scan: the variables that every rule of the line scanner
// reads and changes, and the small procedures they share (open, finish and
// discard the part being collected). Private to scan/.
#pragma once

#include "io/buf_file.h"
#include "model/data_types.h"
#include "model/records.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

class Host;
struct RunContext;
struct Settings;

namespace scan {

// Line buffers hold 1,023 bytes of text, the terminating zero, and the two
// bytes of slack ReadLine needs for a three-byte line break.
inline constexpr int kLineMax = 1024;
inline constexpr int kLineBufSize = kLineMax + 2;
// The indent run counter stops here.
inline constexpr int kIndentRunCap = 0x4000;

// What a rule tells the cycle to do next.
enum class Next
{
    Continue,  // go on with the next step of the cycle
    EndCycle,  // skip to the end of the cycle (abort test included)
    SkipLine,  // skip to the end of the cycle without the abort test
    LateRules, // skip the keyword and MIME tests, go on with the rules after them
};

// The sections of an RFC 2231 name parameter ("filename*0*=", "name*1=", ...)
// of the header being read.
struct Rfc2231Name
{
    struct Section
    {
        std::string text;
        bool encoded = false; // percent escapes
    };
    bool fromFilename = false; // "filename*" wins over "name*"
    std::string charset;
    std::map<int, Section> sections;
    void Clear()
    {
        fromFilename = false;
        charset.clear();
        sections.clear();
    }
};

// One line with its length in bytes (zero-terminated at `len`).
struct LineBuf
{
    char text[kLineBufSize] = {};
    int len = 0;
};

struct ScanState
{
    ScanState(const std::string& inputPath, MyCObArray& list, const Settings& runSettings, RunContext& runContext,
              Host& runHost)
        : path(inputPath), sortList(list), settings(runSettings), run(runContext), host(runHost)
    {
    }
    ScanState(const ScanState&) = delete;
    ScanState& operator=(const ScanState&) = delete;

    const std::string& path;
    MyCObArray& sortList;
    const Settings& settings;
    RunContext& run;
    Host& host;
    std::shared_ptr<void> lease; // keeps an unpacked input's file while it is read
    CBufFile file;

    std::unique_ptr<CFInfo> current; // the open part, owned until handed over
    CMimeInfo mime;

    std::int64_t pos = 0;      // first byte of the line being processed
    std::int64_t lineNo = 0;   // number of the line being processed
    // Lines joined to it (a folded header field); counted at the end of the cycle.
    std::int64_t joinedLines = 0;
    int consumed = 0;          // bytes the line took in the file (break included)
    std::int64_t scale = 1;    // file length / 1000 + 1, for the progress percentage
    std::uint64_t stopPos = 0; // 0: none

    // The line being processed and the two before it (rotated, never copied).
    LineBuf buffers[3];
    LineBuf* cur = &buffers[0];
    LineBuf* prev = &buffers[1];
    LineBuf* prev2 = &buffers[2];
    char* line = buffers[0].text; // == cur->text
    int len = 0;                  // == cur->len, kept in step with it
    LineBuf peek;                 // look-ahead scratch

    bool inHeader = false;
    bool inMimeHeader = false;
    bool mimeParamsContinue = false;
    bool dataSeen = false;
    bool checkFirstDataLine = false;
    int binHexState = 0;
    std::string binHexBuffer; // the BinHex start line and the header after it (1,024 bytes at most)
    bool skipOriginalMessage = false;
    std::uint32_t bodyKind = 0;
    std::int32_t mimeDataType = 0;
    int indent = 0;
    int indentRun = 0;
    int b64LineLength = 0;
    int b64FullLines = 0;
    bool b64AfterBlank = false;
    Rfc2231Name rfc2231;
    // The MIME header field being read, its continuation lines joined (see
    // UnfoldField); the parameter rules read their values from it.
    std::string field;
    // The file name of the header block came from a "filename" parameter:
    // a "name" parameter read after it does not replace it.
    bool nameFromFilename = false;
    // The headers of the body being read declare an identity encoding
    // ("7bit", "8bit", "binary"), or an armoured block ("-----BEGIN PGP
    // SIGNATURE-----" ... "-----END ...") is open: lines that look like
    // Base64 are text here. UU, XX, yEnc and BinHex are still found.
    bool identityEncoding = false;
    bool inArmour = false;
    bool TextLooksLikeBase64() const { return identityEncoding || inArmour; }
    // The body's headers named Base64 or uuencode: a content type read
    // after that ("text/plain") says what the data are, not how they travel.
    bool encodedBody = false;
    // The header block being read is that of a multipart body: a transfer
    // encoding it names applies to no part of its own.
    bool multipartHeader = false;
    // What the headers of the last body said about it is forgotten.
    void ForgetBodyEncoding() { identityEncoding = inArmour = encodedBody = multipartHeader = false; }
    // Bytes the boundary read-ahead may still read (set at the start from the
    // file length, so that many boundaries cannot make the scan quadratic).
    std::int64_t readAheadLeft = 0;
    std::int32_t subjPart = 0;
    std::int32_t subjTotal = -1; // unknown until a subject gives it (a file without headers)
    bool progressDue = false;
    bool done = false;
    std::int32_t found = 0;

    // Cached tests of `line` (-1 not yet known).
    int headerLine = -1;
    int blankLine = -1;
    // Where the sender, date and newsgroups of `mime` were last read, and the
    // last blank line: values read after that blank line belong to the
    // header block of the message being read.
    std::int64_t headerFieldsLine = -1;
    std::int64_t lastBlankLine = 0;
    // Where the body of the open part begins (the line after its first
    // blank line) and its first line that is not blank; -1 while unknown.
    // A text part whose body holds nothing is no output.
    std::int64_t bodyStart = -1;
    std::int64_t bodyText = -1;
    // The boundaries of the multipart bodies that enclose the current one,
    // innermost last: their delimiters end every part nested inside.
    std::vector<std::string> outerBoundaries;
    // The boundary of the last multipart/digest: its parts are messages.
    std::string digestBoundary;

    bool InSection() const { return current != nullptr; }
    // The number of the last line the current one took (joined lines included).
    std::int64_t LastLineNo() const { return lineNo + joinedLines; }
    std::uint32_t CurrentType() const { return current ? current->m_MsgType : 0; }
    // Lines since the open part started.
    std::int64_t PartAge() const { return current ? lineNo - current->m_StartLine : 0; }
    void SetLength(int n)
    {
        len = n;
        cur->len = n;
        line[n] = '\0';
        headerLine = -1;
        blankLine = -1;
    }
};

// ---- Common procedures (scanner.cpp) -----------------------------------------
// Creates the part for a new section starting at this line.
CFInfo& OpenPart(ScanState& s);
// The open part now starts at this line; an end recorded before it is dropped.
void MoveStartHere(ScanState& s);
// End forms.
void EndBeforeLine(ScanState& s, std::int64_t endLine);
void EndAfterLine(ScanState& s);
// Hands a complete part to the sort list (its output entry refreshed
// first) and counts it when accepted. The part is never touched again.
void HandOver(ScanState& s, std::unique_ptr<CFInfo> part);
// Hands the open part over (its end already recorded); no part is open then.
void FinishPart(ScanState& s);
// Deletes the open part without handing it over.
void DiscardPart(ScanState& s);
// The shared closing rule of "=ybegin", BinHex and "<<BPST" openers.
void CloseBeforeNewSection(ScanState& s);
// The open part ends before this line as it would at the end of the file.
void FinishAtEnd(ScanState& s);
// Peeks at the next line into s.peek; returns its text after `skip` bytes
// (empty at the end of the file).
std::string_view PeekNext(ScanState& s, int max = kLineMax, int skip = 0);
// The header-line test (strict) of the current line, cached.
bool TestHeaderLine(ScanState& s);
inline bool IsHeaderLine(ScanState& s)
{
    return s.headerLine < 0 ? TestHeaderLine(s) : s.headerLine != 0;
}
// True when the current line holds only white space (cached).
bool TestBlankLine(ScanState& s);
inline bool IsBlank(ScanState& s)
{
    return s.blankLine < 0 ? TestBlankLine(s) : s.blankLine != 0;
}

// ---- Line helpers ---------------------------------------------------------------
// Every line meets a few dozen prefix tests: the first byte settles nearly all of them.
inline bool StartsWith(const char* line, int len, std::string_view prefix)
{
    return len >= static_cast<int>(prefix.size()) && line[0] == prefix[0] &&
           std::memcmp(line, prefix.data(), prefix.size()) == 0;
}
inline bool StartsWithNoCase(const char* line, int len, std::string_view prefix)
{
    return len >= static_cast<int>(prefix.size()) &&
           AsciiUpper(static_cast<unsigned char>(line[0])) ==
               AsciiUpper(static_cast<unsigned char>(prefix[0])) &&
           EqualsIgnoreCase({line, prefix.size()}, prefix);
}
// The last byte of the line that is not white space; 0 for a blank line.
inline unsigned char LastNonBlankOf(const char* line, int len)
{
    while (len > 0 && IsAsciiSpace(static_cast<unsigned char>(line[len - 1])))
        --len;
    return len > 0 ? static_cast<unsigned char>(line[len - 1]) : 0;
}
bool IsBlankLine(const char* line, int len);
// The line without its trailing CR and LF bytes.
std::string_view TrimLineEnd(std::string_view text);
inline std::string_view View(const ScanState& s)
{
    return {s.line, static_cast<std::size_t>(s.len)};
}

// ---- The quiet-line shortcut (quiet_lines.cpp) -----------------------------------
// Inside a UU, XX, Base64 or yEnc body whose data has begun, a line that can start
// nothing (no blank, no keyword or header lead) meets no rule: only its
// bookkeeping is done. True when the line was taken.
bool TakeQuietDataLine(ScanState& s);
// Its parts, for runs of such lines taken straight from the read buffer:
// the scan state lets quiet lines through (the text test of each line is
// QuietLineTest, quiet_text.h); the bookkeeping of lines taken.
bool QuietLinesMayFollow(const ScanState& s);
// The bookkeeping of `lines` lines taken in a part of the type given.
void CountQuietLines(ScanState& s, int lines, std::uint32_t type);

// ---- Rule families --------------------------------------------------------------
// scanner.cpp: a quoted reply inside a text part.
void QuotedReply(ScanState& s);
// subject_lines.cpp
void FromLine(ScanState& s);
Next SubjectLine(ScanState& s);
void DateAndNewsgroups(ScanState& s);
// keyword_lines.cpp
Next KeywordLines(ScanState& s);
Next SectionOrArticleLine(ScanState& s);
// data_detection.cpp
void CheckFirstDataLine(ScanState& s);
Next EndInsidePart(ScanState& s);
void DataDetection(ScanState& s);
// mime_hooks.cpp
bool IsMimeBoundaryCandidate(const ScanState& s);
Next MimeBoundaryRule(ScanState& s);
void MimeHeaderStartRule(ScanState& s);
Next MimeHeaderFieldRule(ScanState& s);
// yenc_lines.cpp
void OnYBegin(ScanState& s);
void OnYEnd(ScanState& s);
// section_hooks.cpp
void OnBinHexNote(ScanState& s);
void BinHexHeaderCollection(ScanState& s);
void OnBpstLine(ScanState& s);
bool BpstEndBySize(ScanState& s);
void OnFaceHeader(ScanState& s);

} // namespace scan
} // namespace zarvex
