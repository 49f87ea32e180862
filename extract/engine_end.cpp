// The end of an output file: finishing it when its section ends, the checks
// after the last part, and keeping or removing what was written.
#include "extract/engine.h"

#include "extract/file_error_box.h"
#include "extract/output_path.h"
#include "io/buf_file.h"
#include "io/sha256.h"
#include "model/list_dump.h"
#include "model/records.h"
#include "model/run_context.h"
#include "platform/host.h"
#include "text/ascii.h"
#include "text/messages.h"

#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace zarvex {

void Extractor::FinishFile()
{
    // A write that failed behind the decoding fails it here, before the end.
    m_Out->File().Settle();
    m_Call.finished = true;
    m_Call.state = DecodeState::Finished;
    CFInfo& part = *m_Call.part;
    if ((part.m_Status & GS_MASK) == GS_STARTED) part.m_Status = (part.m_Status & ~GS_MASK) | GS_COMPLETE;
    if (m_Call.parent) m_Call.parent->m_Status = part.m_Status;
    m_Host.SetProgress(100);
    // Stream decoding keeps the output open for data that arrive later
    // unless the file is known to be whole.
    if (!m_Call.stream || StreamOutputComplete()) CloseOutput();
    LogMoreErrors();
}

void Extractor::AfterLoop()
{
    if (!m_Out->IsOpen()) return;
    if (m_Call.stream) {
        HoldStreamOutput();
        return;
    }
    // A BinHex section whose closing ":" never came is decoded from what was collected.
    if (m_Call.binHex.IsOpen() && !m_Call.aborted) DecodeCollectedBinHex(false);
    const CFInfo* part = m_Call.part ? m_Call.part : m_Call.record->GetAt(m_Call.first);
    if (m_Call.aborted) {
        Log(std::string(Message(msg::Aborted)) + "\r\n");
    } else if (m_Call.writeFailed) {
        // The file error was reported; the data did not run short.
    } else if ((part->m_MsgType & MT_B64) && m_Call.dataWritten &&
               (m_Call.shortDataLine || DelimiterAfterPart())) {
        // Base64 without "=" padding ended where its body did: whole. (In a
        // body with a boundary, that boundary should have come.)
        if (m_Call.part && !m_Call.boundary.empty() && !DelimiterAfterPart()) m_Call.part->SetFlag(PF_CUTOFF);
    } else if (part->m_MsgType & (MT_UU | MT_XX)) {
        Log(Message(msg::EndNotFound));
        MarkShort();
    } else if ((part->m_MsgType & MT_HQX) == 0) {
        Log(Message(msg::PossiblyShort));
        if ((part->m_MsgType & MT_TXT) == 0) MarkShort(); // text has no end that could be missing
    }
    CloseOutput();
    LogMoreErrors();
    // Hook: recursive decoding of a text-like output is offered here.
}

void Extractor::CloseOutput()
{
    if (!m_Out->IsOpen()) return;
    if (m_Call.writeFailed) {
        // A write failed (a full disk): the output is incomplete. Its
        // temporary file goes (an appended one is cut back); a file it was
        // to replace, merge into or append to stays as it was.
        Log(FormatMessage(msg::WriteFailedRemoved, m_Call.outputName));
        m_Out->Discard();
        m_Call.dataWritten = false;
        return;
    }
    bool hasData = m_Call.dataWritten && !m_Call.aborted;
    if (hasData && m_Out->GetMode() != OutputFile::Mode::InPlace) {
        // A new or replacing output starts empty: any byte in it is data.
        try {
            hasData = m_Out->File().GetPosition() > 0;
        } catch (const FileException& e) {
            if (!m_Call.writeFailed) WriteFailed(e.Error());
        }
    }
    if (hasData && OutputDamaged() && m_Out->GetMode() == OutputFile::Mode::Replace) {
        // Damaged data never take the place of a file that exists, and are
        // not lost either: they go beside it, under a name of their own.
        const std::string beside = FreePathBeside(m_Out->Path());
        if (beside.empty()) {
            Log(FormatMessage(msg::DamagedKeptOld, m_Call.outputName));
            m_Out->Discard();
            m_Call.dataWritten = false;
            MarkNotExtracted();
            return;
        }
        Log(FormatMessage(msg::DamagedWrittenBeside, m_Call.outputName, beside));
        m_Out->Redirect(beside);
    }
    if (hasData) {
        FileError error;
        std::optional<std::string> digest;
        std::int64_t size = 0;
        // The date and the digest go through the descriptor before the file
        // takes its name: a link put under that name cannot redirect them.
        const auto seal = [&](int fd) {
            const std::int64_t time = m_Call.record->GetAt(m_Call.first)->m_Time;
            if (m_Run.KeepDates && time != 0) {
                const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time), 0}};
                ::futimens(fd, times);
            }
            if (m_Run.HashOutputs) digest = Sha256OfDescriptor(fd, &size);
        };
        const bool sealed = m_Run.KeepDates || m_Run.HashOutputs;
        if (m_Out->Keep(&error, sealed ? OutputFile::SealHook(seal) : OutputFile::SealHook()))
            m_Policy.OutputKept(*m_Out);
        else if (!m_Call.writeFailed)
            ShowFileError(m_Host, error);
        if (!m_Out->Kept()) {
            m_Call.dataWritten = false;
            MarkNotExtracted();
        }
        if (m_Out->Kept() && digest) m_Host.OutputWritten(m_Out->Path(), size, *digest);
        return;
    }
    Log(Message(msg::NothingWritten));
    m_Out->Discard();
    m_Call.dataWritten = false;
    MarkNotExtracted();
}

void Extractor::WriteFailed(const FileError& error)
{
    m_Call.writeFailed = true;
    AddStatus(ST_DATAERROR);
    ShowFileError(m_Host, error);
    m_Host.SetStatus(FileErrorMessage(error));
}

void Extractor::LogMoreErrors()
{
    if (m_Call.errorCount <= 5 || m_Call.moreErrorsLogged || !m_Host.HasLog()) return;
    m_Call.moreErrorsLogged = true;
    Log(FormatMessage(msg::MoreErrors, std::to_string(m_Call.errorCount - 5)));
}

void Extractor::MarkWritten()
{
    for (CFInfo* p : m_Call.visited) {
        p->SetFlag(PF_WRITTEN);
        p->m_Status &= ~ST_NOTEXTRACTED;
    }
}

void Extractor::MarkIncomplete()
{
    CSortInfo& record = *m_Call.record;
    std::vector<CFInfo*> parts;
    for (int i = m_Call.first; i < record.GetSize(); ++i) {
        CFInfo* part = record.GetAt(i);
        if (i > m_Call.first && record.IndexOfNamed(part) >= 0 && !EqualsIgnoreCase(part->m_DestFile, m_Call.outputName))
            break;
        parts.push_back(part);
    }
    const std::string reason = IncompleteReason(record, {parts.begin(), parts.end()});
    for (CFInfo* part : parts)
        part->m_Status = reason.empty() ? part->m_Status & ~ST_INCOMPLETE : part->m_Status | ST_INCOMPLETE;
    if (reason.empty()) {
        record.m_Status &= ~ST_INCOMPLETE;
        return;
    }
    // Written all the same (the data found may be all there is), but never called complete.
    record.m_Status |= ST_INCOMPLETE;
    Log(FormatMessage(msg::Incomplete, m_Call.outputName, reason));
}

void Extractor::AddStatus(std::int32_t bits)
{
    if (m_Call.record) m_Call.record->m_Status |= bits;
    if (m_Call.part) m_Call.part->m_Status |= bits;
    if ((bits & ST_DATAERROR) && m_Call.part) m_Call.damagedParts.push_back(m_Call.part);
}

void Extractor::MarkShort()
{
    m_Call.shortFile = true;
    if (m_Call.part) m_Call.part->SetFlag(PF_CUTOFF);
    AddStatus(ST_DATAERROR);
}

bool Extractor::OutputDamaged() const
{
    if (m_Call.shortFile) return true;
    // Damage in a part that a duplicate then replaced is repaired.
    const auto& replaced = m_Call.replacedParts;
    return std::any_of(m_Call.damagedParts.begin(), m_Call.damagedParts.end(), [&](const CFInfo* p) {
        return std::find(replaced.begin(), replaced.end(), p) == replaced.end();
    });
}

void Extractor::MarkNotExtracted()
{
    if (!m_Call.record) return;
    // The bit goes on the record and on the parts of this output (the named
    // part it starts at and those that continue it), where the report and
    // the list read it.
    CSortInfo& record = *m_Call.record;
    record.m_Status |= ST_NOTEXTRACTED;
    for (int i = m_Call.first; i < record.GetSize(); ++i) {
        CFInfo* part = record.GetAt(i);
        if (i > m_Call.first && record.IndexOfNamed(part) >= 0) break;
        part->m_Status |= ST_NOTEXTRACTED;
    }
}

void Extractor::Log(std::string_view text)
{
    if (m_Host.HasLog()) m_Host.Log(text);
}

} // namespace zarvex
