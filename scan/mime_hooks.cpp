// MIME boundaries and header fields met while scanning. The keyword tests
// that decide which rule a line goes to live here; the rules themselves
// (what each Content- header does to the header state and the open part)
// are still to be filled in: until then MIME headers are read as ordinary
// header lines and MIME bodies are found by their data lines.
#include "scan/line_tests.h"
#include "scan/scan_state.h"

#include <array>

namespace zarvex::scan {

namespace {

// TODO(mime): a Mime-Version: or Content- line starts a MIME header block.
void OnMimeHeaderStart(ScanState& /*s*/, bool /*mimeVersion*/) {}

// TODO(mime): "Content-Disposition:" and its "ilename=" parameter.
void OnContentDisposition(ScanState& /*s*/) {}

// TODO(mime): "Content-Transfer-Encoding:" (Base64, uue, yEnc, 7bit, QP, ...).
void OnContentTransferEncoding(ScanState& /*s*/) {}

// TODO(mime): "Content-Type:" starts a parameter list.
void OnContentType(ScanState& /*s*/) {}

// TODO(mime): the parameters of a Content-Type/-Disposition line and its
// continuation lines (name=, id=, number=, total=, boundary=, charset=, the type).
Next OnContentParameters(ScanState& /*s*/)
{
    return Next::Continue;
}

} // namespace

bool IsMimeBoundaryCandidate(const ScanState& s)
{
    return s.len > 2 && s.line[0] == '-' && s.line[1] == '-' && LastNonBlankOf(s.line, s.len) != '=';
}

// TODO(mime): the boundary rule. Returns EndCycle when the line is skipped or
// closes the part, LateRules when the line was taken as a boundary
// definition (no header-start test then), Continue otherwise.
Next MimeBoundaryRule(ScanState& /*s*/)
{
    return Next::Continue;
}

void MimeHeaderStartRule(ScanState& s)
{
    static constexpr std::array<std::string_view, 5> kStarts = {
        "Mime-Version:", "Content-Type:", "Content-Disposition:", "Content-Location:",
        "Content-Transfer-Encoding:"};
    // All five begin with "Mi" or "Co" (any case).
    if (s.len < 13) return;
    const unsigned char first = AsciiUpper(static_cast<unsigned char>(s.line[0]));
    const unsigned char second = AsciiUpper(static_cast<unsigned char>(s.line[1]));
    if (!((first == 'M' && second == 'I') || (first == 'C' && second == 'O'))) return;
    for (std::size_t i = 0; i < kStarts.size(); ++i) {
        if (StartsWithNoCase(s.line, s.len, kStarts[i])) {
            OnMimeHeaderStart(s, i == 0);
            return;
        }
    }
}

Next MimeHeaderFieldRule(ScanState& s)
{
    if (StartsWith(s.line, s.len, "Content-Disposition:"))
        OnContentDisposition(s);
    else if (StartsWithNoCase(s.line, s.len, "Content-Transfer-Encoding:"))
        OnContentTransferEncoding(s);
    else if (StartsWithNoCase(s.line, s.len, "Content-Type:"))
        OnContentType(s);
    if (s.mimeParamsContinue) return OnContentParameters(s);
    return Next::Continue;
}

} // namespace zarvex::scan
