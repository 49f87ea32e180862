// MyCObArray::AddPart: the checks and naming an arriving part goes through
// before it joins (or starts) a group.
#include "model/group_index.h"
#include "model/naming.h"
#include "model/records.h"
#include "model/settings.h"
#include "platform/host.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <memory>
#include <string>
#include <vector>

namespace zarvex {
namespace {

bool IsFaceImage(const CFInfo& part)
{
    return part.m_MsgType == MT_XFACE || part.m_MsgType == MT_FACE;
}

// A text section too short to be a message of its own.
bool IsTrivialText(const CFInfo& part)
{
    return part.m_EndLine - part.m_StartLine < 4 && part.m_EPos - part.m_SPos < 50;
}

// Message 333: the name with the subject, and "part/total".
void LogFound(Host* host, const CFInfo& part)
{
    if (!host || !host->HasLog()) return;
    std::string what = part.m_DestFile.empty() ? std::string("------------") : ToDisplayUtf8(part.m_DestFile);
    what += "\t[ ";
    what += ToDisplayUtf8(part.m_FullSubj.empty() ? part.m_Subject : part.m_FullSubj);
    what += " ]";
    const std::string numbers = std::to_string(part.m_Part) + "/" + std::to_string(part.m_Total);
    host->Log(FormatMessage(msg::FoundPart, what, numbers));
}

// `group` holds another file of the message `next` comes from: when that
// file came whole, between its own begin and end lines, it is a file of one
// part, whatever the subject's numbers say (they count the message's
// parts, and the file that goes on in the next message is the last one).
void SettleWholeFile(CSortInfo& group, const CFInfo& next)
{
    if (group.GetSize() != 1) return;
    CFInfo& only = *group.GetAt(0);
    if ((only.m_MsgType & (MT_UU | MT_XX)) == 0 || only.m_Starts == 0 || only.m_Ends == 0) return;
    if (only.m_File != next.m_File || only.m_Part != next.m_Part || only.m_Total == 1) return;
    only.m_Part = 1;
    only.m_Total = 1;
    group.m_Expected = 1;
    group.m_Found = 1;
    group.m_Status = GS_CHANGED;
}

// Another group than `self` that uses `name`.
bool NameInOtherGroup(const MyCObArray& list, const std::string& name, int self)
{
    if (name.empty()) return false;
    for (int g = list.FindNameInGroups(name, -1); g >= 0; g = list.FindNameInGroups(name, g))
        if (g != self) return true;
    return false;
}

} // namespace

int MyCObArray::AddPart(CFInfo* raw)
{
    std::unique_ptr<CFInfo> part(raw);
    const Settings& settings = m_Settings;
    if (part->m_OrigName.empty()) part->m_OrigName = part->m_DestFile;
    if (part->m_MsgType == MT_QP && !settings.EnableQP) return 0;

    if (part->m_MsgType == MT_TXT) return AddTextMessage(part.release());

    if (IsFaceImage(*part)) {
        NameFaceImage(*part, settings);
    } else if (part->m_DestFile.empty()) {
        if (part->m_MsgType == MT_NONE && (part->m_Starts != 0 || part->m_Ends != 0)) return 0;
        if (part->m_MsgType == MT_QP && part->m_DataType == DT_UNKNOWN) part->m_DataType = DT_TXT;
        if (part->m_Starts != 0) {
            part->m_DestFile = part->m_DataType == DT_UNKNOWN
                                   ? MakeName(*this, part->m_DataType, part->m_Subject, part.get())
                                   : MakeName(*this, part->m_DataType, part->m_Subject, nullptr);
        }
    }

    // The name as the part brought it, before an extension was added.
    std::string brought;
    const bool extended = !part->m_DestFile.empty() && FixExtension(*this, *part, &brought);

    int replaced = ReplaceRescannedPart(part);
    if (replaced >= 0) return replaced;
    return JoinGroup(part.release(), extended ? brought : std::string());
}

int MyCObArray::AddTextMessage(CFInfo* raw)
{
    std::unique_ptr<CFInfo> part(raw);
    // A short text is no message of its own; an attachment is a file whatever its size.
    if (!part->m_Verbatim && IsTrivialText(*part)) return 0;
    part->m_Part = 0;
    const int g = FindGroup(*part);
    CSortInfo* group = g >= 0 ? GetAt(g) : nullptr;
    NameTextMessage(*this, *part, group);
    const CFInfo* taken = part.get();
    if (!group) {
        group = NewGroup();
        group->Init(part.release());
        group->m_Status = GS_COMPLETE;
        NoteGroupChange(GetSize() - 1, nullptr);
        return 1;
    }
    NoteGroupChange(g, taken);
    group->AddPart(part.release(), *this);
    group->m_Status = GS_CHANGED;
    NoteSubjectChange(g);
    return 1;
}

// A part of an input file scanned again: the same section is dropped, one
// that grew takes the place of the older copy. Returns -1 to go on grouping.
int MyCObArray::ReplaceRescannedPart(std::unique_ptr<CFInfo>& part)
{
    int g = -1, index = -1, depth = 0;
    CFInfo* node = FindPartAt(part->m_File, part->m_SPos, &g, &index, &depth);
    if (!node) return -1;
    CSortInfo& group = *GetAt(g);
    CFInfo* head = group.GetAt(index);
    if (node->m_EPos == part->m_EPos) {
        if (part->IsSamePart(*node) || (part->m_SPos == head->m_SPos && part->m_EPos == head->m_EPos))
            return 0;
        return -1;
    }
    part->m_pNextDup = std::move(node->m_pNextDup);
    part->m_ByteStart = node->m_ByteStart;
    if (node->TestFlag(PF_OPENBUF) && node->m_pBuf) {
        part->ReleaseBuffer();
        part->m_pBuf = node->m_pBuf;
        node->m_pBuf = nullptr;
    }
    part->m_Flags =
        ((part->m_Flags & ~std::uint32_t{PF_LOWBITS}) | node->m_Flags) & ~std::uint32_t{PF_WRITTEN};
    node->ClearFlag(PF_OPENBUF);
    group.m_Status = GS_CHANGED;
    if (depth == 0) {
        CFInfo* fresh = part.release();
        NoteGroupChange(g, fresh);
        ReplaceNamed(group, node, fresh);
        delete group.ReplaceAt(index, fresh);
        return 1;
    }
    CFInfo* before = head;
    for (int d = 1; d < depth; ++d)
        before = before->m_pNextDup.get();
    std::unique_ptr<CFInfo> unlinked = std::move(before->m_pNextDup);
    before->m_pNextDup = std::move(unlinked->m_pNextDup);
    return -1;
}

int MyCObArray::JoinGroup(CFInfo* raw, const std::string& broughtName)
{
    std::unique_ptr<CFInfo> part(raw);
    bool renameHint = false;
    std::vector<int> otherFiles;
    const int g = FindGroupImpl(*part, true, &renameHint, &otherFiles);
    if (renameHint) part->SetFlag(PF_RENAME);
    for (int other : otherFiles) SettleWholeFile(*GetAt(other), *part);
    CFInfo* taken = part.get();
    if (g < 0) {
        if (!m_Settings.NoAutoRename && !part->m_DestFile.empty() &&
            FindNameInGroups(part->m_DestFile, -1) >= 0)
            part->SetFlag(PF_RENAME);
        CSortInfo* group = NewGroup();
        group->Init(part.release());
        group->m_Status = GS_CHANGED;
        NoteGroupChange(GetSize() - 1, nullptr);
        LogFound(m_Host, *taken);
        return 1;
    }
    CSortInfo& group = *GetAt(g);
    if (!EqualsIgnoreCase(part->m_DestFile, part->m_OrigName) && group.IndexOfName(part->m_DestFile) >= 0 &&
        group.IndexOfOrigName(part->m_OrigName) < 0)
        part->m_DestFile = MakeName(*this, part->m_DataType, part->m_OrigName, part.get());
    if (part->m_Starts != 0 && NameInOtherGroup(*this, part->m_DestFile, g)) part->SetFlag(PF_RENAME);
    NoteGroupChange(g, taken);
    const std::string extendedName = part->m_DestFile;
    const int index = group.AddPart(part.release(), *this);
    group.m_Status = GS_CHANGED;
    NoteSubjectChange(g);
    if (index < 0) return 0;
    if (!broughtName.empty() && group.GetAt(index) == taken) {
        group.ReplaceName(extendedName, broughtName);
        NoteGroupChange(g, nullptr);
    }
    LogFound(m_Host, *taken);
    return 1;
}

} // namespace zarvex
