#include "extract/engine.h"

#include "extract/file_error_box.h"
#include "extract/output_path.h"
#include "io/buf_file.h"
#include "model/naming.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "model/unpacked_inputs.h"
#include "platform/host.h"
#include "text/ascii.h"
#include "text/messages.h"

#include <algorithm>
#include <array>

namespace zarvex {
namespace {

constexpr std::uint32_t kInputMode = CBufFile::modeRead | CBufFile::shareDenyNone | CBufFile::typeBinary |
                                     CBufFile::modeNoInherit;

} // namespace

Extractor::Extractor(MyCObArray& list, const Settings& settings, RunContext& run, Host& host)
    : m_List(list), m_Settings(settings), m_Run(run), m_Host(host), m_Policy(settings, run, host)
{
}

Extractor::~Extractor() = default;

int Extractor::ExtractOutputFile(const ExtractRequest& request)
{
    // A nested call (the decoding of a decoded file) gets a state of its own
    // and leaves the caller's as it found it.
    CallState outer = std::move(m_Call);
    std::shared_ptr<void> outerLease = std::move(m_InLease);
    std::unique_ptr<CBufFile> outerIn = std::move(m_In);
    std::unique_ptr<OutputFile> outerOut = std::move(m_Out);
    m_Call = CallState{};
    m_In = std::make_unique<CBufFile>();
    m_Out = std::make_unique<OutputFile>();
    const int result = Extract(request);
    m_Out.reset(); // an output still open here is unfinished and discarded
    m_In.reset();
    m_InLease.reset();
    m_Call = std::move(outer);
    m_In = std::move(outerIn);
    m_InLease = std::move(outerLease);
    m_Out = std::move(outerOut);
    return result;
}

int Extractor::Extract(const ExtractRequest& request)
{
    m_Call.depth = request.depth;
    m_Call.stream = request.stream;
    m_Call.saveRaw = request.saveRaw;
    m_Call.parent = request.parentPart;

    CSortInfo* record = FindRecord(request.index, request.part, &m_Call.first);
    if (!record || record->GetSize() == 0) {
        if (!m_Host.Silent()) m_Host.Beep();
        return extract_result::NothingWritten;
    }
    m_Call.record = record;
    if (!MayExtract(*record, request.skipIncomplete))
        return m_Call.stream ? extract_result::MoreDataNeeded : extract_result::Skipped;

    int localAnswer = answer::Ask;
    const int opened = OpenOutput(request.outDir, request.answerState ? request.answerState : &localAnswer);
    if (opened != extract_result::Written)
        return m_Call.stream && m_Call.aborted ? extract_result::StreamAborted : opened;

    m_Host.SetStatus(FormatMessage(msg::ExtractingFile, m_Call.outputName));
    if (!OpenInput(*record->GetAt(m_Call.first))) {
        m_Out->Discard();
        MarkNotExtracted();
        m_Host.SetProgress(-1);
        return extract_result::Skipped;
    }
    try {
        RunParts();
        m_Out->File().Settle(); // a write that failed behind fails the decoding, as it would have failed in it
    } catch (const FileException& e) {
        // A write or seek failed (a full disk, a vanished file): the rest
        // of this file is given up.
        WriteFailed(e.Error());
    }
    if (m_Call.inputFailed) {
        // A later part cannot be read: the file is given up like one whose
        // first input cannot be opened.
        m_Out->Discard();
        MarkNotExtracted();
        m_Host.SetProgress(-1);
        return extract_result::Skipped;
    }
    AfterLoop();
    m_Host.SetProgress(-1);
    // A stream output that is not finished waits for more data; its parts
    // are not marked written (that would exclude them from stream decoding).
    const bool unfinished = m_Call.held || m_Call.aborted || !m_Call.finished;
    if (m_Call.stream && unfinished && !m_Out->Kept()) return extract_result::MoreDataNeeded;
    if (m_Call.dataWritten) MarkWritten();
    // The record's data-error bit tells whether the output written is damaged.
    if (m_Call.dataWritten && !OutputDamaged()) record->m_Status &= ~ST_DATAERROR;
    if (m_Call.dataWritten) MarkIncomplete();
    if (m_Call.aborted && m_Call.stream) return extract_result::StreamAborted;
    if (m_Call.writeFailed) return extract_result::NothingWritten;
    if (!m_Call.dataWritten) return extract_result::NothingWritten;
    // A winmail.dat is binary: it is unpacked, never rescanned as text.
    if (TnefWanted() && UnpackTnefOutput(request)) return extract_result::Written;
    return DecodeRecursively(request, extract_result::Written);
}

// ------------------------------------------------------------ preparation

CSortInfo* Extractor::FindRecord(int index, CFInfo* part, int* first) const
{
    *first = 0;
    if (!part) return index >= 0 && index < m_List.GetSize() ? m_List.GetAt(index) : nullptr;
    // The record at `index` first, from where the last part was found there:
    // the outputs of a record come in order.
    if (index >= 0 && index < m_List.GetSize()) {
        CSortInfo* record = m_List.GetAt(index);
        const int n = record->GetSize();
        const int from = record == m_FoundRecord && m_FoundAt < n ? m_FoundAt : 0;
        for (int k = 0; k < n; ++k) {
            const int i = (from + k) % n;
            for (const CFInfo* p = record->GetAt(i); p; p = p->m_pNextDup.get())
                if (p == part) {
                    m_FoundRecord = record;
                    m_FoundAt = i;
                    *first = i;
                    return record;
                }
        }
    }
    for (int g = 0; g < m_List.GetSize(); ++g) {
        CSortInfo* record = m_List.GetAt(g);
        for (int i = 0; i < record->GetSize(); ++i)
            for (const CFInfo* p = record->GetAt(i); p; p = p->m_pNextDup.get())
                if (p == part) {
                    *first = i;
                    return record;
                }
    }
    return nullptr;
}

bool Extractor::MayExtract(CSortInfo& record, bool skipIncomplete)
{
    const int status = record.m_Status & GS_MASK;
    // Started but not finished: parts of a multi-part file are missing (one
    // part of a million too), or the data of a part have no end.
    const bool unfinished = status == GS_STARTED;
    // Stream decoding waits quietly for a record that cannot be extracted yet.
    if (m_Call.stream) return status != GS_MISSING || (record.m_Found >= 1 && record.m_Expected >= 2);
    // "Skip Incomplete Files" holds for unattended runs as for the window;
    // a silent run never extracts a file missing its start.
    bool skip = (skipIncomplete && (unfinished || status == GS_MISSING)) || (m_Host.Silent() && status == GS_MISSING);
    // Skipped without a question: the log says why nothing was written (a
    // record missing its start may have no name yet: its subject stands in).
    if (skip && m_Host.HasLog()) {
        const CFInfo& first = *record.GetAt(m_Call.first);
        m_Host.Log(FormatMessage(msg::SkippedIncomplete, first.m_DestFile.empty() ? first.m_Subject : first.m_DestFile));
    }
    if (!skip && status == GS_MISSING && !(record.m_Found >= 1 && record.m_Expected >= 2)) {
        if (!skipIncomplete) {
            m_Host.Beep();
            m_Host.Ask(Prompt::MissingStart, Message(msg::MissingStart));
        }
        skip = true;
    }
    if (skip) MarkNotExtracted();
    return !skip;
}

int Extractor::OpenOutput(const std::string& outDir, int* answerState)
{
    const CFInfo& first = *m_Call.record->GetAt(m_Call.first);
    m_Call.outputName = first.m_DestFile;
    // A record missing its start has no name from a "begin" line: it is
    // named as a file without one.
    if (m_Call.outputName.empty() && (m_Call.record->m_Status & GS_MASK) == GS_MISSING)
        m_Call.outputName = MakeName(m_List, first.m_DataType, first.m_Subject, nullptr);
    const std::string folder = ResolveOutputFolder(outDir, InputLocation(m_List, first.m_File));
    OutputRequest request;
    request.path = BuildOutputPath(folder, m_Call.outputName, OutputSuffix(m_Call.saveRaw));
    request.outputName = m_Call.outputName;
    if (request.path.empty() && !m_Run.AppendAllToOneFile) {
        // The name would leave the output folder or is no file name at all.
        ShowFileError(m_Host, FileError{kBadPath, 0, m_Call.outputName});
        MarkNotExtracted();
        return extract_result::Skipped;
    }
    request.inputs = &m_List.m_RunInputs;
    request.owner = first.m_ID;
    if (m_Call.stream) {
        // An output stream decoding holds open for this path is continued.
        m_Call.streamKey = StreamKey(request.path);
        if (const int reused = ReuseStreamOutput(request.path); reused != 0)
            return reused > 0 ? extract_result::Written : extract_result::MoreDataNeeded;
    } else if (!m_Held.Empty()) {
        // Extracted in full now: an unfinished stream output of it is given up.
        std::int32_t holder = 0;
        if (m_Held.Take(StreamKey(request.path), &holder)) DropHolderFlag(holder);
    }
    m_Out->CountBytes(RecursionPossible());
    switch (m_Policy.Open(request, *m_Call.record, answerState, *m_Out)) {
    case OpenOutcome::Opened:
        return extract_result::Written;
    case OpenOutcome::Aborted:
        m_Call.aborted = true;
        m_Host.SetStatus(Message(msg::Aborted));
        return extract_result::NothingWritten;
    case OpenOutcome::Skipped:
    case OpenOutcome::Failed:
        break;
    }
    MarkNotExtracted();
    return extract_result::Skipped;
}

// ------------------------------------------------------------ the part loop

void Extractor::RunParts()
{
    const CSortInfo& record = *m_Call.record;
    // Counted only for an output long enough to show progress: a record of
    // thousands of small files is not summed up for each of them.
    m_Call.totalLines = -1;
    for (int i = m_Call.first; i < record.GetSize(); ++i) {
        CFInfo& part = *record.GetAt(i);
        if (i > m_Call.first) {
            // Only one copy of a part number contributes data; a kept
            // duplicate is the other's alternate, also when it is listed
            // under the same name as an output of its own.
            const bool repeat = IsRepeat(part);
            const bool sameName = EqualsIgnoreCase(part.m_DestFile, m_Call.outputName);
            // Any other named part starts an output file of its own.
            if (record.IndexOfNamed(&part) >= 0 && !(repeat && sameName)) break;
            if (repeat) continue;
        }
        m_Call.element = i;
        if (m_Call.state == DecodeState::Finished) {
            // The file ended in an earlier part: the parts after it are
            // passed over, placed at the end of the output.
            if (!part.m_DestFile.empty() && !EqualsIgnoreCase(part.m_DestFile, m_Call.outputName)) break;
            part.m_ByteStart = m_Out->File().GetPosition();
            part.m_Length = 0;
            m_Call.visited.push_back(&part);
            continue;
        }
        if (!DecodePart(part, i)) break;
    }
}

bool Extractor::IsRepeat(const CFInfo& part) const
{
    if (part.m_Part <= 0) return false;
    return std::any_of(m_Call.visited.begin(), m_Call.visited.end(), [&](const CFInfo* p) {
        return p->m_Part == part.m_Part && p->m_MsgType == part.m_MsgType;
    });
}

CFInfo* Extractor::AlternateOf(const CFInfo& part) const
{
    if (part.m_pNextDup) return part.m_pNextDup.get();
    if (part.m_Part <= 0 || !m_Call.record) return nullptr;
    const CSortInfo& record = *m_Call.record;
    for (int i = m_Call.element + 1; i < record.GetSize(); ++i) {
        CFInfo* other = record.GetAt(i);
        const bool visited =
            std::find(m_Call.visited.begin(), m_Call.visited.end(), other) != m_Call.visited.end();
        if (!visited && other->m_Part == part.m_Part && other->m_Total == part.m_Total &&
            other->m_MsgType == part.m_MsgType)
            return other;
        if (record.IndexOfNamed(other) >= 0) break;
    }
    return nullptr;
}

bool Extractor::OpenInput(const CFInfo& part)
{
    if (m_In->IsOpen() && m_Call.inputPath == part.m_File) return true;
    if (m_In->IsOpen()) m_In->Close();
    m_InLease.reset();
    FileError error;
    if (!OpenInputFile(m_List, part.m_File, *m_In, kInputMode, &error, &m_InLease)) {
        m_Call.inputPath.clear();
        if (error.fileName.empty()) error.fileName = part.m_File;
        if (!ShowFileError(m_Host, error)) m_Call.aborted = true;
        return false;
    }
    m_Call.inputPath = part.m_File;
    return true;
}

CFInfo* Extractor::ChooseDuplicate(CFInfo& part)
{
    if (!m_Run.YouChooseDuplicate || m_Call.stream || part.m_Total <= 1 || !part.m_pNextDup) return &part;
    std::vector<const CFInfo*> candidates;
    for (const CFInfo* p = &part; p; p = p->m_pNextDup.get()) candidates.push_back(p);
    const int chosen = m_Host.ChooseDuplicatePart(candidates);
    if (chosen < 0) {
        m_Host.RequestAbort();
        m_Call.aborted = true;
        m_Host.SetStatus(Message(msg::Aborted));
        return nullptr;
    }
    CFInfo* current = &part;
    for (int i = 0; i < chosen && current->m_pNextDup; ++i) current = current->m_pNextDup.get();
    return current;
}

bool Extractor::DecodePart(CFInfo& part, int index)
{
    PlaceYencPart(part);
    const std::int64_t start = m_Out->File().GetPosition();
    part.m_ByteStart = start;
    CFInfo* current = ChooseDuplicate(part);
    if (!current) return false;
    current->m_ByteStart = start;
    for (;;) {
        if (!OpenInput(*current)) {
            m_Call.inputFailed = true;
            return false;
        }
        m_Call.visited.push_back(current);
        if (!ReadPartLines(*current)) return false;
        if (m_Call.state != DecodeState::SwitchToDuplicate && EndPart(*current)) break;
        TakeDuplicate(current);
    }
    if (current != &part) {
        part.m_ByteStart = current->m_ByteStart;
        part.m_Length = current->m_Length;
    }
    if (m_Call.aborted || m_Call.endOfInput) return false;
    return m_Call.state == DecodeState::Finished || !NextBelongsElsewhere(index);
}

bool Extractor::ReadPartLines(CFInfo& part)
{
    m_Call.part = &part;
    part.m_CrcCheck = part.m_SizeCheck = CheckResult::NotChecked;
    part.ClearFlag(PF_CUTOFF);
    m_Call.endPos = part.m_EPos;
    m_In->Seek(part.m_SPos, 0);
    m_Call.pos = part.m_SPos;
    m_Call.midLine = m_Call.continuesLine = m_Call.qpSoftBreak = false;
    m_Call.carry.clear();
    m_Call.lineNo = part.m_StartLine - 1;
    while (m_Call.state != DecodeState::SwitchToDuplicate && BeforePartEnd()) {
        if (m_Host.AbortRequested()) {
            m_Call.aborted = true;
            m_Host.SetStatus(Message(msg::Aborted));
            return false;
        }
        if (m_Call.endOfInput) return false;
        if (TakeYencDataRun() || TakeLineRun()) {
            if (m_Call.aborted) return false;
            continue;
        }
        if (!ReadNextLine(m_Call.line)) {
            // The input is shorter than when it was scanned.
            if (m_Call.endPos > 0 && !ShowFileError(m_Host, FileError{kEndOfFile, 0, part.m_File}))
                m_Call.aborted = true;
            return !m_Call.aborted;
        }
        // After the end of the file the part's remaining lines are read and ignored.
        if (m_Call.state != DecodeState::Finished) DispatchLine();
        if (m_Call.aborted) break;
    }
    return true;
}

void Extractor::TakeDuplicate(CFInfo*& part)
{
    Log(std::string(Message(msg::TryingNextDuplicate)) + "\r\n");
    CFInfo* dup = AlternateOf(*part);
    dup->m_ByteStart = part->m_ByteStart;
    m_Call.replacedParts.push_back(part);
    // The damaged part's bytes go: the duplicate writes from the same offset
    // (over them where the output keeps its full size for placed yEnc parts).
    if ((part->m_MsgType & MT_YENC) && (m_Call.zeroFilled || m_Out->GetMode() == OutputFile::Mode::InPlace))
        m_Out->File().Seek(part->m_ByteStart, 0);
    else
        m_Out->File().SetLength(part->m_ByteStart);
    part = dup;
    ClearHistory();
    m_Call.state = DecodeState::SeekingStart;
    m_Call.announced = false; // the restarted section is announced again
}

bool Extractor::EndPart(CFInfo& part)
{
    const std::int64_t length = m_Out->File().GetPosition() - part.m_ByteStart;
    if (!m_Policy.Appending()) part.SetDataEnd(m_Out->File().GetPosition());
    if (m_Call.saveRaw) RawPartEnd(part, part.m_ByteStart);
    if (part.m_MsgType & MT_YENC) {
        if (m_Call.state == DecodeState::InData && !m_Call.saveRaw && !m_Call.aborted) {
            part.SetFlag(PF_CUTOFF);
            DamagedLine(msg::MissingYencFooter);
            if (m_Call.state == DecodeState::SwitchToDuplicate) return false;
        }
        // A raw copy is longer than the data it carries: its size says nothing.
        if (part.m_yEndSize > 0 && !m_Call.saveRaw && !YencSizeFits(part, length) && AlternateOf(part) &&
            !m_Run.YouChooseDuplicate)
            return false;
    }
    if (m_Call.state == DecodeState::InData) m_Call.state = DecodeState::Paused;
    return true;
}

bool Extractor::NextBelongsElsewhere(int index) const
{
    const CFInfo& part = *m_Call.record->GetAt(index);
    if ((part.m_MsgType & (MT_UU | MT_XX | MT_B64)) == 0) return false;
    if (!m_Call.dataWritten || m_Call.state != DecodeState::Paused) return false;
    if (!(part.m_Total >= 2 || part.m_Total == -1) || index + 1 >= m_Call.record->GetSize()) return false;
    const std::string& next = m_Call.record->GetAt(index + 1)->m_DestFile;
    return !next.empty() && !EqualsIgnoreCase(next, m_Call.outputName);
}

// ------------------------------------------------------------ lines

void Extractor::LinesDoneMilestone()
{
    if (m_Call.totalLines < 0) m_Call.totalLines = m_Call.record->DataLength(m_Call.first);
    const std::int64_t perMille = std::max<std::int64_t>(1, m_Call.totalLines / 1000);
    m_Host.SetProgress(std::min(100.0, static_cast<double>(m_Call.linesDone / perMille) * 0.1));
    if (m_Call.linesDone % kPumpEvery == 0 && !m_Host.PumpMessages()) m_Call.endOfInput = true;
}

namespace {

// Folds a trailing CR LF (or CR CR LF) into one LF.
void FoldLineEnd(LineBuffer& line)
{
    while (line.len > 1 && line.text[line.len - 1] == '\n' && line.text[line.len - 2] == '\r') {
        line.text[line.len - 2] = '\n';
        line.text[--line.len] = '\0';
    }
}

} // namespace

bool Extractor::ReadNextLine(LineBuffer& into)
{
    int n = 0;
    bool complete = false;
    if (!m_In->ReadLine(into.text, kLineBufferSize, &n, &complete)) return false;
    into.len = n;
    m_Call.lineStart = m_Call.pos;
    m_Call.pos += n;
    const bool endedLF = into.EndsWithLF();
    if (endedLF) CountLine();
    FoldLineEnd(into);
    // The quoting prefix stands at the start of a line, not of its later pieces.
    if (!m_Call.midLine) into.CutFront(m_Call.part ? m_Call.part->m_Indent : 0);
    m_Call.continuesLine = m_Call.midLine;
    m_Call.midLine = !complete;
    m_Call.hint = m_Call.previousLength;
    m_Call.previousLength = into.len;
    m_Call.previousEndedLF = m_Call.currentEndedLF;
    m_Call.currentEndedLF = endedLF;
    return true;
}

bool Extractor::PeekNextLine(LineBuffer& into, int* rawLength)
{
    if (!BeforePartEnd()) return false;
    int n = 0;
    if (!m_In->PeekLine(into.text, kLineBufferSize, &n)) return false;
    into.len = n;
    if (rawLength) *rawLength = n;
    FoldLineEnd(into);
    if (!m_Call.midLine) into.CutFront(m_Call.part ? m_Call.part->m_Indent : 0);
    return true;
}

void Extractor::DispatchLine()
{
    using Handler = void (Extractor::*)();
    struct Row {
        std::uint32_t type;
        Handler handler;
    };
    // Lowest encoding bit first, as everywhere the message type is read.
    static constexpr std::array<Row, 10> kHandlers = {{
        {MT_TXT, &Extractor::HandleTextLine},
        {MT_UU, &Extractor::HandleUULine},
        {MT_XX, &Extractor::HandleXXLine},
        {MT_B64, &Extractor::HandleBase64Line},
        {MT_HQX, &Extractor::HandleBinHexLine},
        {MT_YENC, &Extractor::HandleYencLine},
        {MT_QP, &Extractor::HandleQuotedPrintableLine},
        {MT_BNEWS, &Extractor::HandleBNewsLine},
        {MT_XFACE, &Extractor::HandleFaceLine},
        {MT_FACE, &Extractor::HandleFaceLine},
    }};
    for (const Row& row : kHandlers) {
        if (m_Call.part->m_MsgType & row.type) {
            (this->*row.handler)();
            return;
        }
    }
}


} // namespace zarvex
