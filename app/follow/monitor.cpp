#include "app/follow/monitor.h"

#include "app/engine.h"
#include "io/buf_file.h"
#include "io/file_error.h"
#include "model/records.h"
#include "platform/host.h"
#include "text/display_text.h"
#include "text/messages.h"
#include "text/text_utils.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// The resume point of a file that changed size.
//
// The scanner keeps state from line to line (the open part, the message's
// subject, its MIME boundary and file name, the sender and date read just
// before the subject), and a scan that is resumed starts with that state
// empty. A part the last scan built near the old end may also be unfinished:
// the scan closes whatever is open when the file ends, so a yEnc part still
// waiting for its "=yend", a UU "begin" without "end" or a Base64 body
// without its closing boundary went into the sort list cut short. Resuming
// at the old end would leave that stub and read the rest of it as new data.
//
// So the rescan starts at R, the start of the header block of the message
// that holds the last part known from the file (the run of header lines with
// a "Subject: " line, looked for a little way back from the part's start;
// without one, the part's own start), moved further back while a part of the
// file starts before R and ends after it. Every part of the file that
// reaches past R is removed first, and the scan from R builds them again
// from their own headers. That is provably free of double scanning: the
// parts kept all end at or before R, every part the rescan hands over
// starts at R or later, so no byte is covered twice, and the new tail is
// read once, by the one scan from R. What is read again is only the last
// message known, the one the growth may have changed; reading its header
// block again gives the rebuilt parts the subject, boundary and names that
// a scan of the whole file gives them. (A header block more than the
// look-back before the part is not found: the rescan then starts at the
// part itself, without what that header said.) An open stream output held
// by a removed part passes to the part built again at the same place.
//
// A file without known parts resumes where its last scan stopped, again
// moved back to the header block that may hold an unfinished message.
// A file that shrank (and is not empty) is handled the same way with its
// last part that still starts inside it.

namespace zarvex {
namespace {

// How far before a part's start its message's header block is looked for.
constexpr std::int64_t kHeaderLookBack = 64 * 1024;
constexpr int kLineMax = 1024;

std::optional<std::int64_t> CurrentSize(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

// Calls `visit` for every part of `path` in the list, inactive duplicates included.
template <typename Visit> void ForEachPartOf(const MyCObArray& list, const std::string& path, Visit visit)
{
    for (int g = 0; g < list.GetSize(); ++g) {
        const CSortInfo& group = *list.GetAt(g);
        for (int i = 0; i < group.GetSize(); ++i)
            for (CFInfo* part = group.GetAt(i); part; part = part->m_pNextDup.get())
                if (part->m_File == path) visit(*part);
    }
}

// Where the part starts, with the lines before it (m_StartLine counts the
// line the part starts on).
ScanPoint StartOf(const CFInfo& part)
{
    return {part.m_SPos, std::max<std::int64_t>(part.m_StartLine - 1, 0)};
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool IsBlank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

std::string FileName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows the header blocks of the lines read: the block being read and the
// last one that held a "Subject: " line (positions with the lines before them).
class HeaderBlocks
{
public:
    struct Mark
    {
        std::int64_t pos = -1, lines = 0;
    };
    void Line(std::string_view text, std::int64_t pos, std::int64_t lines)
    {
        const bool continued = m_Block.pos >= 0 && (text[0] == ' ' || text[0] == '\t') && !IsBlank(text);
        if (IsHeaderOrSeparator(text.data(), static_cast<int>(text.size()), false)) {
            if (m_Block.pos < 0) m_Block = {pos, lines};
            if (StartsWith(text, "Subject: ")) m_Found = m_Block;
        } else if (!continued) {
            m_Block = {};
        }
    }
    const Mark& Found() const { return m_Found; }

private:
    Mark m_Block, m_Found;
};

// The start of the header block with a "Subject: " line nearest before
// `anchor` (or holding the anchor's own line), looked for a little way back
// with the scanner's own line reading so that the line count agrees with
// the scanner's; `anchor` itself when there is none.
ScanPoint ReadMessageStart(const std::string& path, ScanPoint anchor)
{
    CBufFile file;
    if (!file.Open(path, CBufFile::typeBinary | CBufFile::shareDenyNone)) return anchor;
    const std::int64_t from = std::max<std::int64_t>(anchor.pos - kHeaderLookBack, 0);
    if (file.Seek(from, 0) != from) return anchor;
    char line[kLineMax + 2];
    int n = 0;
    bool complete = false;
    std::int64_t pos = from;
    // A window that starts inside a line goes on from the next one.
    while (from > 0 && !complete) {
        if (!file.ReadLine(line, kLineMax, &n, &complete)) return anchor;
        pos += n;
    }
    HeaderBlocks blocks;
    std::int64_t lines = 0; // complete lines read from there
    bool lineStart = true;  // a long line comes in pieces: its first one starts it
    while (pos <= anchor.pos && file.ReadLine(line, kLineMax, &n, &complete)) {
        // A scan that ended inside a line (the file had no line break yet)
        // counted that line: the line starts where the rescan must.
        if (pos < anchor.pos && pos + n > anchor.pos) anchor = {pos, anchor.line - 1};
        if (lineStart) blocks.Line({line, static_cast<std::size_t>(n)}, pos, lines);
        if (pos == anchor.pos) {
            const HeaderBlocks::Mark& found = blocks.Found();
            if (found.pos < 0) return anchor;
            return {found.pos, anchor.line - (lines - found.lines)};
        }
        lineStart = complete;
        pos += n;
        if (complete) ++lines;
    }
    return anchor; // no line starts at the anchor: keep it
}

ScanPoint MessageStart(const std::string& path, ScanPoint anchor)
{
    if (anchor.pos <= 0) return {0, 0};
    try {
        return ReadMessageStart(path, anchor);
    } catch (const std::exception&) {
        return anchor; // unreadable now: the scan will say so
    }
}

} // namespace

ScanPoint ResumePoint(const MyCObArray& list, const InputEntry& entry, std::int64_t size)
{
    const bool shrank = size < entry.size;
    // The last part known that still starts inside the file.
    const CFInfo* last = nullptr;
    ForEachPartOf(list, entry.path, [&](CFInfo& part) {
        if (part.m_SPos < size && (!last || part.m_SPos > last->m_SPos)) last = &part;
    });
    ScanPoint at;
    if (last)
        at = StartOf(*last);
    else if (!shrank && entry.scanPos <= size)
        at = {entry.scanPos, entry.scanLine};
    at = MessageStart(entry.path, at);
    // A part that straddles the point would be cut in two: go back to its message.
    for (;;) {
        const CFInfo* straddling = nullptr;
        ForEachPartOf(list, entry.path, [&](CFInfo& part) {
            if (part.m_SPos < at.pos && part.m_EPos > at.pos &&
                (!straddling || part.m_SPos < straddling->m_SPos))
                straddling = &part;
        });
        if (!straddling) return at;
        at = MessageStart(entry.path, StartOf(*straddling));
    }
}

namespace {

// Step 3: the file is gone or empty.
void DropInput(const MonitorCall& call, std::size_t index, MonitorOutcome& out)
{
    const std::string path = call.entries[index].path;
    call.host.SetStatus(Message(msg::MonitoredChanged));
    call.list.RemovePartsOf(path);
    call.list.m_InputNames.erase(path);
    call.entries.erase(call.entries.begin() + static_cast<std::ptrdiff_t>(index));
    out.gone.push_back(path);
    out.rebuild = true;
}

// An open stream output held by a part that the rescan removes passes to
// the part it builds at the same place, as a rescanned part takes over the
// buffer of the one it replaces; one that no part claims is closed. So does
// the mark of a part written out in full (the stream step would write its
// file again, or ask to), when the part built again covers the same bytes.
struct HeldBuffer
{
    std::int64_t pos;
    std::int64_t end;
    CBufFile* buf; // null when only the mark passes
    bool written;
};

std::vector<HeldBuffer> TakeHeldBuffers(const MyCObArray& list, const std::string& path, std::int64_t from)
{
    std::vector<HeldBuffer> held;
    ForEachPartOf(list, path, [&](CFInfo& part) {
        if (part.m_EPos <= from && part.m_SPos < from) return;
        const bool open = part.TestFlag(PF_OPENBUF) && part.m_pBuf;
        if (!open && !part.TestFlag(PF_WRITTEN)) return;
        held.push_back({part.m_SPos, part.m_EPos, open ? part.m_pBuf : nullptr, part.TestFlag(PF_WRITTEN)});
        if (!open) return;
        part.m_pBuf = nullptr;
        part.ClearFlag(PF_OPENBUF);
    });
    return held;
}

void ReturnHeldBuffers(const MyCObArray& list, const std::string& path, const std::vector<HeldBuffer>& held)
{
    for (const HeldBuffer& h : held) {
        CFInfo* part = list.FindPartAt(path, h.pos, nullptr, nullptr, nullptr);
        const bool same = part && part->m_SPos == h.pos;
        if (same && h.written && part->m_EPos == h.end) part->SetFlag(PF_WRITTEN);
        if (!h.buf) continue;
        if (same && !part->TestFlag(PF_OPENBUF)) {
            part->ReleaseBuffer();
            part->m_pBuf = h.buf;
            part->SetFlag(PF_OPENBUF);
            continue;
        }
        try {
            if (h.buf->IsOpen()) h.buf->Close();
        } catch (const FileException&) {
            // As when a part releases its buffer: a failure to close is ignored.
        }
        delete h.buf;
    }
}

// Step 5 (and a file that shrank): scans the file again from its resume point.
// False when the scan was stopped.
bool Rescan(const MonitorCall& call, InputEntry& entry, std::int64_t size, MonitorOutcome& out)
{
    if (!out.scanned && call.beginScanning) call.beginScanning();
    out.scanned = true;
    call.host.SetStatus(FormatMessage(msg::ProcessingInput, ToDisplayUtf8(FileName(entry.path))));
    const ScanPoint from = ResumePoint(call.list, entry, size);
    const std::vector<HeldBuffer> held = TakeHeldBuffers(call.list, entry.path, from.pos);
    call.list.RemovePartsOf(entry.path, from.pos);
    std::int64_t pos = from.pos, line = from.line;
    call.host.ClearAbort();
    const int found =
        call.engine.ScanFrom(entry.path, call.list, call.settings, call.run, call.host, pos, line);
    ReturnHeldBuffers(call.list, entry.path, held);
    // Parts may have been removed even when nothing new was found.
    out.rebuild = true;
    if (found < 0 || call.host.AbortRequested()) return false;
    entry.size = size;
    entry.scanPos = pos;
    entry.scanLine = line;
    return true;
}

} // namespace

MonitorOutcome MonitorTick(const MonitorCall& call, const MonitorGuards& guards, bool& inTick)
{
    MonitorOutcome out;
    if (guards.busy || guards.dragging || guards.extracting || inTick) return out;
    inTick = true;
    out.ran = true;
    // Removal does not advance the index: the next entry slides into its place.
    for (std::size_t i = 0; i < call.entries.size();) {
        InputEntry& entry = call.entries[i];
        if (!entry.IsMonitored()) {
            ++i;
            continue;
        }
        const std::optional<std::int64_t> size = CurrentSize(entry.path);
        if (!size || *size == 0) {
            DropInput(call, i, out);
            continue;
        }
        if (*size != entry.size && !Rescan(call, entry, *size, out)) {
            out.aborted = true;
            break;
        }
        ++i;
    }
    inTick = false;
    return out;
}

} // namespace zarvex
