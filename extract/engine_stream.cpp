// Stream decoding: outputs that are continued across calls as their data
// arrive. An unfinished output is held by the engine (StreamOutputs) under
// its temporary name, so that no half file ever appears under the output's
// own name; the call that finds the file complete keeps it under its name.
// A call that finds new parts decodes the record's parts from its first one
// again into the held file, so every part lands at its own offset whatever
// arrived between the calls, and the file is created once and named once; a
// call that finds the same parts as the last one leaves the file as it is.
//
// When streaming stops (switched off, the window closes, the program ends)
// the unfinished outputs are deleted, not kept: every byte of them is still
// in the input files, so Extract or a later stream run makes them again,
// while a half file under the output's name would look finished to whoever
// watches the folder, and a kept temporary file would be litter that
// nothing ever cleans up.
#include "extract/engine.h"

#include "extract/file_error_box.h"
#include "model/records.h"
#include "model/settings.h"
#include "platform/host.h"

namespace zarvex {
namespace {

template <typename Visit> void ForEachPart(MyCObArray& list, Visit visit)
{
    for (int g = 0; g < list.GetSize(); ++g)
        for (int i = 0; i < list[g]->GetSize(); ++i)
            for (CFInfo* p = list[g]->GetAt(i); p; p = p->m_pNextDup.get())
                if (!visit(*p)) return;
}

} // namespace

StreamOutputs::Makeup Extractor::StreamMakeup() const
{
    const CSortInfo& record = *m_Call.record;
    StreamOutputs::Makeup makeup{record.m_Status & GS_MASK, record.m_Found, record.m_Expected};
    for (int i = 0; i < record.GetSize(); ++i)
        for (const CFInfo* p = record.GetAt(i); p; p = p->m_pNextDup.get())
            makeup.insert(makeup.end(), {p->m_ID, p->m_SPos, p->m_EPos});
    return makeup;
}

int Extractor::ReuseStreamOutput(const std::string& path)
{
    // The same parts would decode to the same bytes: the output waits as it is.
    if (m_Held.HoldsMadeOf(m_Call.streamKey, StreamMakeup())) return -2;
    std::int32_t holder = 0;
    std::unique_ptr<OutputFile> held = m_Held.Take(m_Call.streamKey, &holder);
    if (!held) return 0;
    // The part that held it may be another record's now (an earlier part of
    // the same subject and name, or one a rescan replaced): this one takes over.
    DropHolderFlag(holder);
    FileError error;
    try {
        if (held->Resume(&error)) {
            held->Restart();
            m_Out = std::move(held);
            m_Call.announced = true; // the log told where it goes when it was started
            return 1;
        }
    } catch (const FileException& e) {
        error = e.Error();
    }
    // Closed between updates and not reopened: it is given up, and the next
    // call starts the output again.
    if (error.fileName.empty()) error.fileName = path;
    Log(std::string("\t") + FileErrorMessage(error) + "\r\n");
    return -1;
}

void Extractor::HoldStreamOutput()
{
    if (m_Call.writeFailed) {
        CloseOutput(); // reported, and the temporary file goes
        return;
    }
    if (!m_Call.dataWritten) {
        // Nothing arrived yet that could be decoded: no file is kept for it.
        m_Out->Discard();
        return;
    }
    // What was decoded goes to the file now, whether it stays open or not.
    FileError error;
    bool settled = true;
    if (m_Call.aborted || m_Settings.StreamClose) {
        settled = m_Out->Suspend(&error) || m_Out->IsOpen();
    } else {
        try {
            m_Out->File().Seek(0, 1); // writes what is pending, staying where it is
        } catch (const FileException&) {
            settled = false;
        }
    }
    if (!settled) {
        // The pending bytes could not be written: the output starts again next time.
        m_Out->Discard();
        m_Call.dataWritten = false;
        return;
    }
    CFInfo& holder = *m_Call.record->GetAt(m_Call.first);
    holder.SetFlag(PF_OPENBUF);
    // An aborted output is incomplete even for its parts: it is decoded again next time.
    m_Held.Put(m_Call.streamKey, std::move(m_Out), holder.m_ID,
               m_Call.aborted ? StreamOutputs::Makeup{} : StreamMakeup());
    m_Out = std::make_unique<OutputFile>();
    m_Call.held = true;
}

bool Extractor::StreamOutputComplete() const
{
    const CFInfo& part = *m_Call.part;
    return (m_Call.record->m_Status & GS_MASK) == GS_COMPLETE ||
           ((part.m_MsgType & MT_UU) && part.m_Starts > 0 && part.m_Ends > 0);
}

void Extractor::DropHolderFlag(std::int32_t holder)
{
    ForEachPart(m_List, [holder](CFInfo& p) {
        if (p.m_ID != holder) return true;
        p.ClearFlag(PF_OPENBUF);
        return false;
    });
}

void Extractor::ReleaseStreamOutputs()
{
    m_Held.DiscardAll();
    ForEachPart(m_List, [](CFInfo& p) {
        p.ClearFlag(PF_OPENBUF);
        return true;
    });
}

} // namespace zarvex
