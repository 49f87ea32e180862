// The main window and par2: outputs of a posting that comes with .par2
// recovery files are verified, and repaired where needed, after the user's
// extraction; the outcome goes to the log window.
#include "app/engine.h"
#include "app/par2_repair.h"
#include "app/window/main_window.h"
#include "extract/output_path.h"
#include "model/records.h"

#include <map>

namespace zarvex {

int CZarvexDlg::WriteForPar2(int g, CFInfo* named, const std::string& folder, int& answer, int result)
{
    // Stream decoding keeps its outputs in the engine's extractor, which
    // other settings would replace: no second chance while it runs.
    if (result >= 0 || !m_App.Par2Repair || !m_App.core.IgnoreIncomplete || m_StreamOn || m_Host.AbortRequested())
        return result;
    const CSortInfo& group = *m_List->GetAt(g);
    if ((group.m_Status & GS_MASK) == GS_COMPLETE || !InPar2Posting(named->m_DestFile, Par2Bases(*m_List, folder)))
        return result;
    Settings whole = m_App.core;
    whole.IgnoreIncomplete = false;
    return m_Engine.Extract(*m_List, g, named, folder, answer, whole, m_Run, m_Host);
}

int CZarvexDlg::RepairWithPar2(const std::vector<std::pair<CSortInfo*, std::string>>& written)
{
    if (!m_App.Par2Repair || written.empty()) return 0;
    std::map<std::string, std::vector<std::string>> byFolder;
    for (const auto& [group, path] : written) byFolder[FolderOf(path)].push_back(path);
    int mended = 0;
    for (const auto& [folder, paths] : byFolder) {
        for (const Par2Checked& c : VerifyAndRepair(folder, paths, m_Host)) {
            for (const std::string& name : c.result.repaired) {
                for (const auto& [group, path] : written) {
                    if (path != folder + "/" + name) continue;
                    MarkMended(*group);
                    ++mended;
                }
            }
        }
    }
    return mended;
}

} // namespace zarvex
