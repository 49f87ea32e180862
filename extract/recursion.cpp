// Recursive decoding: a written output that is mostly text may itself be a
// saved message or digest holding encoded data. It is scanned and, when the
// user agrees, decoded: in place when it holds one file of its own name
// (through a temporary name, restored if the nested extraction fails),
// otherwise by moving its text to the clipboard input file, which the
// Extract command scans again when its loop is done.
#include "extract/engine.h"

#include "extract/file_error_box.h"
#include "extract/output_path.h"
#include "model/records.h"
#include "model/run_context.h"
#include "platform/host.h"
#include "scan/clipboard_file.h"
#include "scan/scanner.h"
#include "text/ascii.h"
#include "text/messages.h"

#include <algorithm>
#include <array>
#include <cstdio> // rename
#include <unistd.h>

namespace zarvex {
namespace {

constexpr int kWarnDepth = 3;
// Message types and data types whose text is never rescanned.
constexpr std::array<std::uint32_t, 3> kTextTypes = {MT_TXT, MT_QP, MT_B64 | MT_HQX};
constexpr std::array<int, 4> kDocumentTypes = {11, 21, 41, 44}; // ps, rtf, wri, pdf

void PointPartsAt(MyCObArray& list, const std::string& path)
{
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list[g]->GetSize(); ++i)
            for (CFInfo* p = list[g]->GetAt(i); p; p = p->m_pNextDup.get())
                p->m_File = path;
}

} // namespace

bool Extractor::RecursionPossible() const
{
    return m_Run.RecursiveDecoding && !m_Host.Silent() && !m_Call.stream && !m_Call.saveRaw;
}

bool Extractor::RecursionWanted() const
{
    if (!RecursionPossible() || m_Policy.Appending()) return false;
    // Only a file this call made is rescanned (and perhaps deleted): never
    // one that parts were merged into.
    if (!m_Out->Kept() || m_Out->GetMode() == OutputFile::Mode::InPlace) return false;
    const CFInfo& first = *m_Call.record->GetAt(m_Call.first);
    if (std::find(kTextTypes.begin(), kTextTypes.end(), first.m_MsgType) != kTextTypes.end()) return false;
    if (std::find(kDocumentTypes.begin(), kDocumentTypes.end(), first.m_DataType) != kDocumentTypes.end())
        return false;
    const CBufFile& out = m_Out->File();
    return out.BinaryCount() < out.TextCount() / 6;
}

int Extractor::DecodeRecursively(const ExtractRequest& request, int result)
{
    if (!RecursionWanted()) return result;
    const std::string path = m_Out->Path();
    m_Host.SetStatus(Message(msg::RecursiveScan));
    MyCObArray found(m_Settings);
    found.AddInputFile(path);
    const int parts = ScanFile(path, found, m_Settings, m_Run, m_Host);
    m_Host.SetStatus({});
    if (parts <= 0) return result;
    found.Evaluate();
    if (request.depth >= kWarnDepth) m_Host.Ask(Prompt::TooDeeplyNested, Message(msg::TooDeeplyNested));
    if (m_Host.Ask(Prompt::RecursiveFound, Message(msg::RecursiveFound)) != button::Yes) {
        if (m_Host.ShiftKeyDown()) m_Run.RecursiveDecoding = false;
        return result;
    }
    const bool sameName = found.GetSize() == 1 && found[0]->GetSize() >= 1 &&
                          EqualsIgnoreCase(found[0]->GetAt(0)->m_DestFile, m_Call.outputName);
    return sameName ? DecodeInPlace(found, request, result) : MoveToClipboard(found, result);
}

int Extractor::DecodeInPlace(MyCObArray& found, const ExtractRequest& request, int result)
{
    const std::string path = m_Out->Path();
    const std::string folder = FolderOf(path);
    int err = 0, fd = -1;
    const std::string temp = CreateTempIn(folder, &err, &fd);
    if (temp.empty()) return result;
    ::close(fd);
    // The new empty temporary file is replaced in one step.
    if (::rename(path.c_str(), temp.c_str()) != 0) {
        ::unlink(temp.c_str());
        return result;
    }
    found.RenameInputFile(path, temp);
    PointPartsAt(found, temp);
    Extractor nested(found, m_Settings, m_Run, m_Host);
    nested.SetClipboardFile(m_Clipboard);
    const CSortInfo& record = *found[0];
    const int inner =
        nested.ExtractOutputFile({.part = record.m_Named.empty() ? nullptr : record.m_Named.front(),
                                  .index = 0,
                                  .outDir = folder,
                                  .answerState = request.answerState,
                                  .depth = request.depth + 1});
    // A nested extraction that wrote nothing leaves the outer file as it was.
    if (inner != extract_result::Written && ::access(path.c_str(), F_OK) != 0 &&
        ::rename(temp.c_str(), path.c_str()) == 0)
        return result;
    ::unlink(temp.c_str());
    return inner;
}

int Extractor::MoveToClipboard(const MyCObArray& found, int result)
{
    if (!m_Host.Silent()) {
        if (found.GetSize() <= 1) {
            const bool named = found.GetSize() == 1 && found[0]->GetSize() > 0;
            m_Host.Ask(Prompt::ClipboardNameDiffers,
                       FormatMessage(msg::ClipboardNameDiffers, named ? found[0]->GetAt(0)->m_DestFile : ""));
        } else {
            m_Host.Ask(Prompt::ClipboardMultiple, Message(msg::ClipboardMultiple));
        }
    }
    if (!m_Clipboard) return result; // nowhere to put it: the output stays
    FileError error;
    if (!m_Clipboard->AppendFile(m_Out->Path(), &error)) {
        ShowFileError(m_Host, error);
        return result;
    }
    ::unlink(m_Out->Path().c_str());
    return extract_result::Skipped;
}

} // namespace zarvex
