// Quoted-Printable body lines: "=XX" escapes, soft line breaks, and the
// leniency real mail needs (a "=" that starts no escape is written through).
#pragma once

namespace zarvex {

class CBufFile;

// Results of DecodeQPLine.
enum QPResult : int
{
    QP_OK = 0,
    QP_BAD_ESCAPE = 1, // a "=" that is not a valid escape (written through, not reported)
    QP_HEADER = 2,     // a "Content-" or "Article " line: not decoded
};

// Decodes one line (with its line feed, zero-terminated at `len`) into
// `out` (may be null). A line ending in "=" is a soft break: the next line
// continues it without a line end. Otherwise trailing blanks go and the line
// feed is written as CR LF when `crlf` is set, else as LF. The line buffer is
// modified (cut at a soft break or its trailing blanks). Output: at most
// `len` + 1 bytes. No allocation. `continued`: the line goes on from a
// soft break (or is the rest of a long line), so a "Content-" at its start
// is text, not a header.
int DecodeQPLine(char* line, int len, CBufFile* out, bool crlf, bool continued = false);
// True when the line ends in a soft break ("=" as its last non-blank byte, not "==").
bool EndsInSoftBreak(const char* line, int len);

// Every "=" followed by two hex digits becomes one byte, everything else is
// copied; at most `maxBytes` (no limit when <= 0). `lineLength` <= 0:
// measure the line. Returns the number of bytes stored.
int PeekDecodeQP(const char* line, unsigned char* dest, int lineLength, int maxBytes);

} // namespace zarvex
