// Sections announced by a line of their own: BinHex (the note line and the
// header after it), "<<BPST" and the X-Face and Face header images (yEnc
// lines are read in yenc_lines.cpp). The scan driver has already decided that the line
// is such an opener (its keywords are tested there) and closed the previous
// part where needed; the rules below read the fields and open or finish the
// part.
#include "scan/scan_state.h"

namespace zarvex::scan {

// TODO(binhex): the note line opens (or turns) a part into "HQX"; binHexState 1.
void OnBinHexNote(ScanState& /*s*/) {}

// TODO(binhex): the ":" start line and the header after it (non-blank lines only).
void BinHexHeaderCollection(ScanState& /*s*/) {}

// TODO(bpst): the "<<BPST " line with its "Size=" and "File=[" fields.
void OnBpstLine(ScanState& /*s*/) {}

// TODO(bpst): a "BNews" part ends when its size is reached; true when it finished the part.
bool BpstEndBySize(ScanState& /*s*/)
{
    return false;
}

// TODO(face): an "X-Face: "/"Face: " header becomes a part of its own at once
// (built apart from the open part and given to HandOver).
void OnFaceHeader(ScanState& /*s*/) {}

} // namespace zarvex::scan
