#include "model/records.h"

#include "io/buf_file.h"
#include "model/settings.h"
#include "model/unpacked_inputs.h"

#include <algorithm>
#include <atomic>

namespace zarvex {
namespace {

// Serial numbers of parts: one counter for the process, incremented before
// each new part takes it, so the first part gets 2. Never reset.
std::atomic<std::int32_t> g_PartSerial{1};

std::int32_t NextSerial() { return ++g_PartSerial; }

} // namespace

// ---------------------------------------------------------------- CFInfo

CFInfo::CFInfo() : m_ID(NextSerial()) {}

CFInfo::CFInfo(const CFInfo& o)
    : CObject(), m_File(o.m_File), m_Subject(o.m_Subject), m_FullSubj(o.m_FullSubj), m_DestFile(o.m_DestFile),
      m_OrigName(o.m_OrigName), m_PartialID(o.m_PartialID), m_Charset(o.m_Charset), m_From(o.m_From),
      m_Newsgroups(o.m_Newsgroups), m_Part(o.m_Part), m_Total(o.m_Total), m_Group(o.m_Group),
      m_GroupTotal(o.m_GroupTotal), m_yTotal(o.m_yTotal), m_yPart(o.m_yPart), m_Swapped(o.m_Swapped),
      m_AltNumbers(o.m_AltNumbers), m_Starts(o.m_Starts), m_Ends(o.m_Ends), m_Indent(o.m_Indent),
      m_StartLine(o.m_StartLine), m_SPos(o.m_SPos), m_EPos(o.m_EPos), m_EndLine(o.m_EndLine),
      m_ByteStart(o.m_ByteStart), m_Length(o.m_Length), m_MsgType(0), m_DataType(o.m_DataType), m_Flags(0),
      m_Time(o.m_Time), m_yEndSize(o.m_yEndSize), m_ySize(o.m_ySize), m_yPartCrc(o.m_yPartCrc),
      m_yBegin(o.m_yBegin), m_yEnd(o.m_yEnd), m_yLine(o.m_yLine), m_Status(o.m_Status), m_Verbatim(o.m_Verbatim),
      m_NameStandIn(o.m_NameStandIn), m_pBuf(o.m_pBuf),
      m_ID(NextSerial())
{
}

CFInfo::~CFInfo() { ReleaseBuffer(); }

std::int32_t CFInfo::PeekNextSerial() { return g_PartSerial.load() + 1; }

void CFInfo::ReleaseBuffer()
{
    if (m_pBuf && TestFlag(PF_OPENBUF)) {
        try {
            if (m_pBuf->IsOpen()) m_pBuf->Close();
        } catch (const FileException&) {
            // A failure while closing an owned buffer is ignored.
        }
        delete m_pBuf;
    }
    m_pBuf = nullptr;
    ClearFlag(PF_OPENBUF);
}

void CFInfo::SetFromMime(const CMimeInfo& mime)
{
    m_DataType = mime.m_DataType;
    m_MsgType = mime.m_MsgType;
    m_Subject = mime.m_Subject;
    m_FullSubj = mime.m_FullSubj;
    m_PartialID = mime.m_PartialID;
    m_Charset = mime.m_Charset;
    m_DestFile = mime.m_FileName;
    m_From = mime.m_From;
    m_Newsgroups = mime.m_Newsgroups;
    m_SPos = mime.m_SPos;
    m_StartLine = mime.m_StartLine;
    m_Time = mime.m_Time;
    m_Group = mime.m_Group;
    m_GroupTotal = mime.m_GroupTotal;
    m_Swapped = mime.m_Swapped;
    m_AltNumbers = mime.m_AltNumbers;
    if (m_Part == -1) m_Part = mime.m_Part;
    if (m_Total == -1) m_Total = mime.m_Total;
}

void CFInfo::SwapNumbers()
{
    std::swap(m_Part, m_Group);
    std::swap(m_Total, m_GroupTotal);
    m_Swapped = !m_Swapped;
}

void CFInfo::SetCharset(std::string_view value) { m_Charset.assign(value.substr(0, 1024)); }

bool CFInfo::SetDataEnd(std::int64_t pos)
{
    if (m_ByteStart == -1) return false;
    m_Length = pos - m_ByteStart;
    return true;
}

void CFInfo::AddDuplicate(CFInfo* dup)
{
    if (dup->TestFlag(PF_OPENBUF) && dup->m_pBuf) {
        ReleaseBuffer();
        m_pBuf = dup->m_pBuf;
        dup->m_pBuf = nullptr;
        m_Flags |= dup->m_Flags;
        dup->ClearFlag(PF_OPENBUF);
    }
    CFInfo* tail = this;
    while (tail->m_pNextDup) tail = tail->m_pNextDup.get();
    tail->m_pNextDup.reset(dup);
}

bool CFInfo::IsSamePart(const CFInfo& other) const
{
    const bool sameName = m_DestFile == other.m_DestFile;
    if (!sameName && !(!m_OrigName.empty() && m_OrigName == other.m_OrigName)) return false;
    if (sameName && m_Subject.empty() && m_OrigName != other.m_OrigName && other.m_Subject.empty()) return false;
    if (m_Part != other.m_Part || m_Total != other.m_Total || m_Starts != other.m_Starts ||
        m_Ends != other.m_Ends)
        return false;
    if (m_DataType != other.m_DataType) return false;
    if (!m_Subject.empty() && !other.m_Subject.empty()) return EqualsIgnoreCase(m_Subject, other.m_Subject);
    return m_PartialID == other.m_PartialID;
}

bool CFInfo::IsSameFile(const CFInfo& other) const
{
    // Two parts that were given no name say nothing about belonging together.
    if (m_OrigName.empty() || m_OrigName != other.m_OrigName) return false;
    if (m_Total != other.m_Total && m_Total > 0 && other.m_Total > 0) return false;
    return m_MsgType == other.m_MsgType;
}

// ------------------------------------------------------------- CMimeInfo

void CMimeInfo::Reset()
{
    m_PartialID.clear();
    m_FileName.clear();
    m_Boundary.clear();
    m_Subject.clear();
    m_FullSubj.clear();
    m_Charset.clear();
    m_From.clear();
    m_Newsgroups.clear();
    m_Part = m_Total = m_Group = m_GroupTotal = -1;
    m_MsgType = 0;
    m_DataType = 0;
    m_Swapped = m_AltNumbers = 0;
    m_SPos = 0;
    m_StartLine = 0;
    m_Time = 0;
    m_bMultipart = m_bPartial = 0;
}

// ------------------------------------------------------------- CSortInfo

void CSortInfo::CountOrigName(const CFInfo* part, int step)
{
    if (!part || part->m_OrigName.empty()) return;
    auto it = m_OrigNames.find(part->m_OrigName);
    if (it == m_OrigNames.end()) it = m_OrigNames.emplace(part->m_OrigName, 0).first;
    it->second += step;
    if (it->second <= 0) m_OrigNames.erase(it);
}

void CSortInfo::InsertAt(int i, CFInfo* part)
{
    i = std::clamp(i, 0, GetSize());
    m_Parts.insert(m_Parts.begin() + i, std::unique_ptr<CFInfo>(part));
    CountOrigName(part, 1);
}

CFInfo* CSortInfo::RemoveAt(int i)
{
    CFInfo* part = m_Parts[static_cast<std::size_t>(i)].release();
    m_Parts.erase(m_Parts.begin() + i);
    CountOrigName(part, -1);
    return part;
}

CFInfo* CSortInfo::ReplaceAt(int i, CFInfo* part)
{
    CFInfo* old = m_Parts[static_cast<std::size_t>(i)].release();
    m_Parts[static_cast<std::size_t>(i)].reset(part);
    CountOrigName(old, -1);
    CountOrigName(part, 1);
    return old;
}

void CSortInfo::Init(CFInfo* first)
{
    m_Subject = first->m_Subject;
    m_PartialID = first->m_PartialID;
    m_Expected = first->m_Total;
    if (!first->m_DestFile.empty()) {
        m_Names.insert(first->m_DestFile);
        m_Named.push_back(first);
    }
    if (first->m_GroupTotal != -1) m_GroupTotal = first->m_GroupTotal;
    m_Found = 0;
    m_Status = 0;
    InsertAt(0, first);
    if (first->m_Part != 0) m_Found = 1;
}

int CSortInfo::IndexOfName(std::string_view name) const
{
    if (name.empty()) return -1;
    for (int i = 0; i < GetSize(); ++i)
        if (EqualsIgnoreCase(GetAt(i)->m_DestFile, name)) return i;
    return -1;
}

int CSortInfo::ReplaceName(std::string_view oldName, std::string_view newName)
{
    int count = 0;
    for (auto it = m_Names.find(oldName); it != m_Names.end(); it = m_Names.find(oldName)) {
        m_Names.erase(it);
        m_Names.insert(std::string(newName));
        ++count;
        if (EqualsIgnoreCase(oldName, newName)) break; // the same name again would loop forever
    }
    return count ? count : -1;
}

int CSortInfo::IndexOfPart(const CFInfo* part) const
{
    // Asked in order as IndexOfNamed is: the element after the last one found first.
    const int n = GetSize();
    for (int at : {m_PartHint, m_PartHint + 1})
        if (at >= 0 && at < n && GetAt(at) == part) return m_PartHint = at;
    for (int i = 0; i < n; ++i)
        if (GetAt(i) == part) return m_PartHint = i;
    return -1;
}

int CSortInfo::IndexOfNamed(const CFInfo* part) const
{
    // The outputs of a record are asked for in order: the entry after the
    // one found last is tried first, so that a record of thousands of named
    // parts is not searched from its start for each of them.
    const std::size_t n = m_Named.size();
    for (std::size_t at : {m_NamedHint, m_NamedHint + 1}) {
        if (at < n && m_Named[at] == part) {
            m_NamedHint = at;
            return static_cast<int>(at);
        }
    }
    auto it = std::find(m_Named.begin(), m_Named.end(), part);
    if (it == m_Named.end()) return -1;
    m_NamedHint = static_cast<std::size_t>(it - m_Named.begin());
    return static_cast<int>(m_NamedHint);
}

int CSortInfo::IndexOfOrigName(std::string_view name) const
{
    if (name.empty()) return -1;
    for (int i = 0; i < GetSize(); ++i)
        if (EqualsIgnoreCase(GetAt(i)->m_OrigName, name)) return i;
    return -1;
}

int CSortInfo::IndexOfFullSubj(std::string_view text) const
{
    if (text.empty()) return -1;
    bool anyFullSubject = false;
    for (int i = 0; i < GetSize(); ++i) {
        const std::string& full = GetAt(i)->m_FullSubj;
        if (EqualsIgnoreCase(full, text)) return i;
        if (!full.empty()) anyFullSubject = true;
    }
    return anyFullSubject ? -1 : -2;
}

int CSortInfo::FindFlag(std::uint32_t bits, int from) const
{
    for (int i = std::max(from, 0); i < GetSize(); ++i)
        if (GetAt(i)->TestFlag(bits)) return i;
    return -1;
}

void CSortInfo::ClearFlagAll(std::uint32_t bits)
{
    for (auto& part : m_Parts) part->ClearFlag(bits);
}

CFInfo* CSortInfo::FirstPartFor(std::string_view name) const
{
    const int i = IndexOfName(name);
    if (i < 0) return nullptr;
    CFInfo* part = GetAt(i);
    if (part->m_Part != 0 || part->m_MsgType == MT_TXT || part->m_MsgType == MT_QP) return part;
    return i + 1 < GetSize() ? GetAt(i + 1) : nullptr;
}

bool CSortInfo::RenameAll(CFInfo* part, std::string_view newName)
{
    const int i = IndexOfPart(part);
    const std::string oldName = part->m_DestFile;
    part->m_DestFile = newName;
    if (i < 0) return false;
    for (int k = i + 1; k < GetSize(); ++k) {
        CFInfo* later = GetAt(k);
        if (later->m_DestFile != oldName || IndexOfNamed(later) >= 0) break;
        later->m_DestFile = newName;
    }
    return true;
}

bool CSortInfo::ReleaseBuffers(CBufFile* buf, bool all, std::uint32_t bits)
{
    bool any = false;
    for (auto& part : m_Parts) {
        if (!part->m_pBuf) continue;
        if (all) {
            CBufFile* held = part->m_pBuf;
            const bool owned = part->TestFlag(PF_OPENBUF);
            part->m_pBuf = nullptr;
            part->ClearFlag(PF_OPENBUF);
            part->SetFlag(bits);
            if (owned) {
                try {
                    if (held->IsOpen()) held->Close();
                } catch (const FileException&) {
                }
                delete held;
            }
            any = true;
        } else if (part->m_pBuf == buf) {
            part->m_pBuf = nullptr;
            part->ClearFlag(PF_OPENBUF);
            part->SetFlag(bits);
            any = true;
        }
    }
    if (!all && any && buf && buf->IsOpen()) {
        try {
            buf->Close();
        } catch (const FileException&) {
        }
    }
    return any;
}

std::int64_t CSortInfo::DataLength(int from) const
{
    std::int64_t lines = 0;
    for (int i = std::max(from, 0); i < GetSize(); ++i) lines += GetAt(i)->m_EndLine - GetAt(i)->m_StartLine;
    return lines;
}

void CSortInfo::Clear()
{
    m_Named.clear();
    m_Names.clear();
    m_Parts.clear();
    m_OrigNames.clear();
}

std::uint32_t CSortInfo::StatusColour() const
{
    bool open = false, checkFail = false;
    for (const auto& part : m_Parts) {
        open |= part->TestFlag(PF_OPENBUF);
        checkFail |= part->TestFlag(PF_CHECKFAIL);
    }
    if (open) return checkFail ? 0x800080 : 0x808000;
    // An output written without all its posting announces is shown as unfinished.
    if ((m_Status & ST_INCOMPLETE) && (m_Status & GS_MASK) == GS_COMPLETE) return 0x800000;
    switch (m_Status & GS_MASK) {
    case GS_CHANGED: return 0x000000;
    case GS_STARTED: return 0x800000;
    case GS_COMPLETE: return 0x008000;
    case GS_TOO_MANY: return 0x000080;
    case GS_MISSING: return 0x808080;
    default: return 0x800080;
    }
}

// ------------------------------------------------------------ MyCObArray

MyCObArray::MyCObArray(const Settings& settings, Host* host) : m_Settings(settings), m_Host(host) {}

MyCObArray::~MyCObArray() = default;

CSortInfo* MyCObArray::NewGroup()
{
    m_Groups.push_back(std::make_unique<CSortInfo>());
    return m_Groups.back().get();
}

void MyCObArray::RemoveGroupAt(int i) { m_Groups.erase(m_Groups.begin() + i); }

int MyCObArray::AddInputFile(const std::string& path)
{
    m_RunInputs.Add(path);
    return m_InputNames.insert(path).second ? 0 : -1;
}

bool MyCObArray::RemoveInputFile(const std::string& path)
{
    if (m_InputNames.erase(path) == 0) return false;
    RemovePartsOf(path);
    if (m_Unpacked) m_Unpacked->Forget(path);
    return true;
}

void MyCObArray::RemovePartsOf(const std::string& path, std::int64_t from)
{
    auto goes = [&](const CFInfo& part) {
        return part.m_File == path && (from < 0 || part.m_EPos > from || part.m_SPos >= from);
    };
    for (int g = GetSize() - 1; g >= 0; --g) {
        CSortInfo* group = GetAt(g);
        bool changed = false;
        for (int i = group->GetSize() - 1; i >= 0; --i) {
            CFInfo* part = group->GetAt(i);
            for (CFInfo* kept = part; kept->m_pNextDup;) {
                if (!goes(*kept->m_pNextDup)) {
                    kept = kept->m_pNextDup.get();
                    continue;
                }
                kept->m_pNextDup = std::move(kept->m_pNextDup->m_pNextDup);
            }
            if (!goes(*part)) continue;
            changed = true;
            if (part->m_pNextDup) {
                // A copy from elsewhere stays: it takes the element's place.
                CFInfo* heir = part->m_pNextDup.release();
                ReplaceNamed(*group, part, heir);
                delete group->ReplaceAt(i, heir);
                continue;
            }
            if (part->m_Part > 0 && group->m_Found > 0) --group->m_Found;
            auto named = std::find(group->m_Named.begin(), group->m_Named.end(), part);
            if (named != group->m_Named.end()) group->m_Named.erase(named);
            delete group->RemoveAt(i);
        }
        if (!changed) continue;
        group->m_Status = GS_CHANGED;
        if (group->GetSize() == 0) {
            group->Clear();
            RemoveGroupAt(g);
        } else {
            group->RebuildNames(m_Settings.NoAutoRename);
        }
    }
}

void MyCObArray::RenameInputFile(const std::string& oldPath, const std::string& newPath)
{
    for (auto& group : m_Groups)
        for (int i = 0; i < group->GetSize(); ++i)
            if (group->GetAt(i)->m_File == oldPath) group->GetAt(i)->m_File = newPath;
    if (m_InputNames.erase(oldPath)) m_InputNames.insert(newPath);
}

void MyCObArray::RemoveAll()
{
    for (auto& group : m_Groups) group->Clear();
    m_Groups.clear();
    m_InputNames.clear();
    if (m_Unpacked) m_Unpacked->ForgetAll();
    m_RunInputs.Clear();
    m_NextFileNumber = 1;
    m_MessageNumbers.clear();
}

} // namespace zarvex
