// The extraction engine: turns one output record (a CSortInfo and its parts)
// into one output file. It re-reads every part's byte range from its input
// file line by line, runs the section handling of the part's encoding over
// the lines, hands the data lines to the codecs, switches to a duplicate
// part when a part turns out damaged, and reports every problem to the log
// in the program's fixed wording. All talk with the user goes through Host.
#pragma once

#include "codec/bnews.h"
#include "codec/face.h"
#include "extract/binhex_collector.h"
#include "extract/line_buffer.h"
#include "extract/output_file.h"
#include "extract/output_policy.h"
#include "extract/stream_outputs.h"
#include "extract/yenc_section.h"
#include "io/file_error.h"
#include "text/message_ids.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zarvex {

class CBufFile;
class CFInfo;
class ClipboardFile;
class CSortInfo;
class Host;
class MyCObArray;
struct RunContext;
struct Settings;
struct SixBitEncoding;
struct TnefFile;

// Where the section handling of one output file stands.
enum class DecodeState {
    SeekingStart,      // before the first data line (headers, the "begin" line)
    InData,            // data lines are being decoded
    Paused,            // between data: after a part, a blank line or a boundary
    Finished,          // the end of the file was found; the rest is ignored
    SwitchToDuplicate, // the part is damaged; its duplicate is decoded instead
};

// Results of ExtractOutputFile.
namespace extract_result {
inline constexpr int Written = 1;
inline constexpr int NothingWritten = 0;
inline constexpr int Skipped = -1;       // skipped, or the output cannot be opened
// Stream decoding: the output is not finished yet (more data are needed),
// or the call was aborted.
inline constexpr int StreamAborted = -2;
inline constexpr int MoreDataNeeded = -2;
} // namespace extract_result

// What one call of ExtractOutputFile is to do.
struct ExtractRequest
{
    // The named part the output starts at (it gives the output its name);
    // without one, the output that starts at the first element of the
    // record at `index` of the sort list.
    CFInfo* part = nullptr;
    int index = -1;
    std::string outDir;         // "*": the folder of the part's input
    int* answerState = nullptr; // shared by all calls of one Extract command
    bool skipIncomplete = false;
    int depth = 0; // nesting of recursive decoding
    bool stream = false;
    bool saveRaw = false;
    CFInfo* parentPart = nullptr; // the enclosing file's part (nested decoding)
};

class Extractor {
public:
    Extractor(MyCObArray& list, const Settings& settings, RunContext& run, Host& host);
    ~Extractor();
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    // Extracts the output file of `request` into its folder: the parts that
    // follow its first part in the record, up to the next named part,
    // continue the file.
    int ExtractOutputFile(const ExtractRequest& request);

    // The Extract command ended: the append target is forgotten.
    void EndExtractCommand() { m_Policy.EndCommand(); }
    // Where decoded text that holds files of other names goes (recursive
    // decoding); without one such text stays as it was written.
    void SetClipboardFile(ClipboardFile* clipboard) { m_Clipboard = clipboard; }
    const OutputPolicy& Policy() const { return m_Policy; }
    // Stream decoding stops: every output it holds is given up (an
    // unfinished one is deleted; the data are still in the input files) and
    // no part of the sort list keeps PF_OPENBUF.
    void ReleaseStreamOutputs();

private:
    static constexpr std::int64_t kProgressEvery = 128;
    static constexpr std::int64_t kPumpEvery = 256;
    // The data runs (TakeLineRun, TakeYencDataRun) ask the host about a stop
    // every this many lines: at every line after which the host was called
    // (progress, pump), and often enough for a prompt reaction otherwise.
    static constexpr std::int64_t kRunAbortEvery = 32;
    static_assert(kPumpEvery % kProgressEvery == 0 && kProgressEvery % kRunAbortEvery == 0);

    // Everything one call works with; reset at the start of every call.
    struct CallState {
        DecodeState state = DecodeState::SeekingStart;
        CSortInfo* record = nullptr;
        int first = 0;            // the element the output starts at
        int element = 0;          // the element being decoded
        CFInfo* part = nullptr;   // the part whose lines are read now
        CFInfo* parent = nullptr; // the enclosing file's part (nested decoding)
        std::string outputName;
        std::string inputPath; // the input file open now
        std::int64_t pos = 0;  // input position after the current line
        std::int64_t lineStart = 0; // input position of the current line
        std::int64_t endPos = 0;
        std::int64_t lineNo = 0;
        std::int64_t linesDone = 0;
        std::int64_t totalLines = 0; // -1: counted when progress is first shown
        std::int64_t expectedLength = 0; // Base64 data line length
        int hint = 0;                    // length of the line before the current one (UU)
        int previousLength = 0;          // length of the current line, the next line's hint
        bool previousEndedLF = true;     // the line before the current one ended with LF
        bool currentEndedLF = true;
        // The last read ended inside a line longer than a line buffer: the
        // next read is the rest of it (no indent to cut, no line of its own).
        bool midLine = false;
        bool continuesLine = false; // this read is the rest of a line begun by the last

        // The end of the last piece that could not be decoded by itself (a
        // Base64 group or a Quoted-Printable escape cut by the piece
        // boundary); it goes in front of the next piece.
        std::string carry;
        int errorCount = 0;
        bool finished = false;
        bool dataWritten = false;
        bool aborted = false;
        bool endOfInput = false; // the user interface asked to quit
        bool announced = false;  // "Extracting ... as file ..." was logged
        bool writeFailed = false; // a file error was reported while writing
        bool inputFailed = false; // the input of a part could not be opened
        bool shortFile = false;   // the data ended before the end of the file was found
        std::vector<CFInfo*> damagedParts;  // parts in which damaged data were met
        std::vector<CFInfo*> replacedParts; // damaged parts that a duplicate replaced
        bool moreErrorsLogged = false;
        bool zeroFilled = false; // a yEnc output got its full size
        bool stream = false;
        std::string streamKey; // the output's key among the held stream outputs
        bool held = false;     // the output stays open for data that arrive later
        bool saveRaw = false;
        int depth = 0;
        std::string boundary;
        bool shortDataLine = false; // the last Base64 line decoded was shorter than the body's lines
        LineBuffer line;     // the current line
        LineBuffer history1; // the previous line kept for the end handling
        LineBuffer history2; // and the one before it
        std::vector<CFInfo*> visited; // parts whose lines were read
        YencCallState yenc;
        BinHexCollector binHex;       // the characters of a BinHex section
        BNewsState bnews;
        XFaceWork xface;
        std::string faceText; // the Base64 text of a "Face:" image
        bool textBreakPending = false; // the last text line's break, unless a boundary follows
        bool qpSoftBreak = false;      // the last Quoted-Printable line ended in a soft break
        // Save Raw: the part whose synthetic header lines were written, and
        // the id of the message/partial headers of a Base64 file.
        const CFInfo* rawHeaderPart = nullptr;
        std::uint32_t rawId = 0;
    };

    // One call with a fresh state (ExtractOutputFile keeps the caller's).
    int Extract(const ExtractRequest& request);

    // Preparation.
    CSortInfo* FindRecord(int index, CFInfo* part, int* first) const;
    bool MayExtract(CSortInfo& record, bool skipIncomplete);
    int OpenOutput(const std::string& outDir, int* answerState);
    // Stream decoding (extract/engine_stream.cpp): the held output of this
    // path continues (1), none is held (0), it cannot be reopened (-1), or
    // nothing arrived for it since it was written (-2).
    int ReuseStreamOutput(const std::string& path);
    StreamOutputs::Makeup StreamMakeup() const;
    // The output stays open (or with "StreamClose" closed, under its
    // temporary name) for data that arrive later.
    void HoldStreamOutput();
    // A finished file's stream output is closed: its record is complete, or
    // a UU part holds both its begin and its end.
    bool StreamOutputComplete() const;
    // Takes PF_OPENBUF from the part with serial number `holder`.
    void DropHolderFlag(std::int32_t holder);

    // The part loop.
    void RunParts();
    bool DecodePart(CFInfo& part, int index);
    CFInfo* ChooseDuplicate(CFInfo& part);
    bool OpenInput(const CFInfo& part);
    bool ReadPartLines(CFInfo& part);
    void PlaceYencPart(const CFInfo& part);
    // False when the part must be decoded again from its duplicate.
    bool EndPart(CFInfo& part);
    bool NextBelongsElsewhere(int index) const;
    // A part number that an earlier part of this output decoded already.
    bool IsRepeat(const CFInfo& part) const;
    // The copy that replaces `part` when it is damaged: its duplicate, or a
    // kept copy of the same part further on in the record.
    CFInfo* AlternateOf(const CFInfo& part) const;
    void TakeDuplicate(CFInfo*& part);

    // Lines.
    bool ReadNextLine(LineBuffer& into);
    bool PeekNextLine(LineBuffer& into, int* rawLength = nullptr);
    // Counts a line read; every kProgressEvery lines the progress is shown
    // (and every kPumpEvery the user interface gets its turn).
    void CountLine()
    {
        ++m_Call.lineNo;
        if (++m_Call.linesDone % kProgressEvery == 0) LinesDoneMilestone();
    }
    void LinesDoneMilestone();
    bool BeforePartEnd() const { return m_Call.endPos <= 0 || m_Call.pos < m_Call.endPos; }
    void DispatchLine();

    // Section handling per encoding.
    void HandleUULine();
    void HandleXXLine();
    void HandleBase64Line();
    void HandleYencLine();
    void HandleBinHexLine();
    void YencBeginLine();
    void YencDataLine();
    bool TakeYencDataRun(); // extract/yenc_run.cpp
    bool TakeLineRun();       // Base64 and UU: extract/line_runs.cpp
    // Shared by the data runs (extract/run_batches.cpp). A batch takes lines
    // up to the next stop question, short of the line after which the
    // progress is shown; `at` counts the batch's bytes taken so far.
    int RunBatchLimit() const;
    bool BeforeRunEnd(std::size_t at) const
    {
        return m_Call.endPos <= 0 || m_Call.pos + static_cast<std::int64_t>(at) < m_Call.endPos;
    }
    // Asks the host whether to stop; a yes is noted and shown.
    bool RunStopRequested();
    // ReadNextLine's bookkeeping, done once for the `lines` lines of a batch
    // (`at` bytes, `binary` of them binary). `hint` is what the line before
    // the batch's last one measured, `lastLength` what the last one did.
    void SettleRunBatch(std::size_t at, std::int64_t binary, int lines, int hint, int lastLength);
    // Copies the last line a batch took (still in the read buffer) into the
    // current line, as the line loop leaves it; with `addLF`, its break is
    // folded to LF. Clears `last`.
    void KeepRunLine(const unsigned char*& last, std::size_t length, bool addLF);
    void YencEndLine();
    bool YencCrcChecks(std::string_view line);
    bool YencFileDone(std::string_view line) const;
    bool YencLastPartSizeFits();
    bool YencSizeFits(CFInfo& part, std::int64_t length);
    bool YencArticleIsDotStuffed(const CFInfo& part);
    bool YencPlacementFits(const CFInfo& part) const;
    // The current "Content-" or "Article " line opens a real header block.
    bool HeaderBlockBegins();
    void HandleQuotedPrintableLine();
    void HandleTextLine();
    // An attachment sent without encoding: its body, from the current
    // position to the part's end, is copied unchanged.
    void CopyVerbatimBody(std::int64_t from);
    void HandleBNewsLine();
    void HandleFaceLine();
    // Decodes the collected BinHex characters into the output and logs the outcome.
    void DecodeCollectedBinHex(bool atClosingColon);
    void BNewsDamage(msg::Id reason);
    // UU and XX share one section handler, told apart by their encoding's row.
    void HandleSixBitLine(const SixBitEncoding& form);
    bool UUStrayLine();
    bool UUQualifiesInPause();
    void UUDropBeforeM();
    void DecodeSixBitData(const SixBitEncoding& form, LineBuffer& line, int hint);
    // The end of a UU or XX file at its "end" line.
    void SixBitEndOfFile(const SixBitEncoding& form);
    void PushHistory();
    void ClearHistory();
    bool JoinBrokenBase64Line(LineBuffer& line, bool wholeLineInPart);
    // A line longer than a line buffer arrives in pieces: what the last
    // piece left undecoded goes in front of this one, and when this piece
    // does not end its line, its undecodable tail (from `keep` on) is kept
    // for the next.
    void TakeCarry(LineBuffer& line);
    void KeepCarry(LineBuffer& line, int keep);
    int ReadMimeHeaders();
    void DecodeBase64Data();
    void Announce(msg::Id typeName);
    void ParseBoundary(std::string_view line);
    // The boundary line after the data of a Base64 body (the file is complete).
    bool AtBoundaryEndingTheFile(const LineBuffer& line) const;
    // No later part of the record continues the output of the current part.
    bool EndsItsFile() const;
    // After the part's end, behind blank lines, stands a MIME delimiter.
    bool DelimiterAfterPart() const;

    // Save Raw: the header lines and markers written around the undecoded
    // lines (extract/raw_headers.cpp).
    void RawWrite(std::string_view text);
    void RawLine(std::string_view line); // the line without its line end, then CR LF
    void RawSixBitStart(bool uu, bool atBeginLine);
    void RawSixBitResume();
    // Before the "end" line: the line of zero bytes read (or a made-up one).
    void RawSixBitEnd(bool uu, const LineBuffer& zeroLine);
    void RawBase64Start();
    void RawBase64Resume();
    void RawYencBegin();
    void RawBNewsStart();
    void RawPartEnd(const CFInfo& part, std::int64_t partStart);
    // "Subject: <name> (<part>/<total>)" and a blank line, when the file has several parts.
    void RawSubject(std::string_view intro, const CFInfo& part, bool leadingBreak);

    // Recursive decoding of a written output that holds encoded text
    // (extract/recursion.cpp). Returns the call's result.
    int DecodeRecursively(const ExtractRequest& request, int result);
    // Recursive decoding may follow this call (the output's bytes are then counted).
    bool RecursionPossible() const;
    bool RecursionWanted() const;
    int DecodeInPlace(MyCObArray& found, const ExtractRequest& request, int result);
    int MoveToClipboard(const MyCObArray& found, int result);

    // winmail.dat (TNEF) unpacking of a written output (extract/tnef_unpack.cpp).
    bool TnefWanted() const;
    // False when the output is no TNEF file (nothing was done).
    bool UnpackTnefOutput(const ExtractRequest& request);
    bool UnpackTnef(const std::string& path, int depth, int* answerState);
    // Writes one file of a container; its path, or "" when it was not written.
    std::string WriteTnefFile(const std::string& folder, const std::string& name, const TnefFile& file,
                              int* answerState);

    // Damaged data, notes and the end of the file.
    void DamagedLine(msg::Id reason);
    void ReportLineError(msg::Id reason);
    void LogCountedNote(msg::Id id);
    void BeepAtMostEvery10s();
    void Log(std::string_view text);
    void FinishFile();
    void AfterLoop();
    void CloseOutput();
    void LogMoreErrors();
    // A write to the output failed: reported, and the output is given up.
    void WriteFailed(const FileError& error);
    void MarkWritten();
    // The output written lacks what its posting announces: ST_INCOMPLETE on
    // the record and the output's parts, and the log says why.
    void MarkIncomplete();
    void MarkNotExtracted();
    void AddStatus(std::int32_t bits);
    void MarkShort();
    // The output holds damaged data: it ended short, or a part met damage
    // that no duplicate repaired.
    bool OutputDamaged() const;

    MyCObArray& m_List;
    const Settings& m_Settings;
    RunContext& m_Run;
    Host& m_Host;
    OutputPolicy m_Policy;
    StreamOutputs m_Held; // outputs stream decoding keeps between calls
    ClipboardFile* m_Clipboard = nullptr;
    // Where the last named part was found, so that a record's outputs,
    // asked for in order, are found without a search from its start.
    mutable const CSortInfo* m_FoundRecord = nullptr;
    mutable int m_FoundAt = 0;
    std::chrono::steady_clock::time_point m_LastBeep{};
    bool m_HasBeeped = false;

    CallState m_Call;
    // Keeps the file of an unpacked input while m_In reads it (declared
    // first: it goes after m_In is closed).
    std::shared_ptr<void> m_InLease;
    std::unique_ptr<CBufFile> m_In;
    std::unique_ptr<OutputFile> m_Out;
};

} // namespace zarvex
