#include "extract/output_policy.h"

#include "extract/file_error_box.h"
#include "extract/output_path.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/host.h"
#include "text/messages.h"
#include "text/text_utils.h"

#include <array>
#include <sys/stat.h>

namespace zarvex {
namespace {

// What a button of the overwrite questions does to the answer state.
struct AnswerRow {
    int button;
    int state;
    bool merge;
};

// "Overwrite File?" (800).
constexpr std::array<AnswerRow, 4> kOverwriteAnswers = {{
    {button::Yes, answer::YesOnce, false},
    {button::YesToAll, answer::YesToAll, false},
    {button::No, answer::Ask, false},
    {button::NoToAll, answer::NoToAll, false},
}};

// "YENC Merge/Replace/Skip File?" (900): Yes is "&Merge", No is "&Skip".
constexpr std::array<AnswerRow, 6> kMergeAnswers = {{
    {button::Yes, answer::YesOnce, true},
    {button::YesToAll, answer::YesToAll, true},
    {button::Replace, answer::YesOnce, false},
    {button::ReplaceAll, answer::YesToAll, false},
    {button::No, answer::Ask, false},
    {button::NoToAll, answer::NoToAll, false},
}};
static_assert(kMergeAnswers[2].button == 806 && kMergeAnswers[5].state == -1);

template <std::size_t N>
const AnswerRow* FindAnswer(const std::array<AnswerRow, N>& rows, int pressed)
{
    for (const AnswerRow& row : rows)
        if (row.button == pressed) return &row;
    return nullptr;
}

bool Exists(const std::string& path, struct stat* st = nullptr)
{
    struct stat local {};
    return ::lstat(path.c_str(), st ? st : &local) == 0;
}

// A temporary file left by a killed run is no earlier output: it is never
// replaced, merged into or appended to.
bool IsLeftover(const std::string& path)
{
    return IsTempFileName(std::string_view(path).substr(path.rfind('/') + 1));
}

} // namespace

bool OutputPolicy::Appending() const { return m_Run.AppendAllToOneFile; }

bool OutputPolicy::IsYencMergeCandidate(const CSortInfo& group, const std::string& path) const
{
    if (group.GetSize() == 0 || !m_Settings.StrictYenc) return false;
    const CFInfo& first = *group.GetAt(0);
    struct stat st {};
    if ((first.m_MsgType & MT_YENC) == 0 || first.m_Total <= 1 || !Exists(path, &st)) return false;
    return S_ISREG(st.st_mode) && st.st_size == first.m_ySize;
}

bool OutputPolicy::AskOverwrite(bool yencMerge, const std::string& path, int* answerState)
{
    const int pressed = m_Host.Ask(yencMerge ? Prompt::YencMerge : Prompt::Overwrite, path);
    if (pressed == button::Cancel) return false;
    const AnswerRow* row = yencMerge ? FindAnswer(kMergeAnswers, pressed) : FindAnswer(kOverwriteAnswers, pressed);
    *answerState = row ? row->state : answer::Ask; // an unknown answer keeps the file
    m_Merge = row && row->merge;
    return true;
}

OpenOutcome OutputPolicy::Skip(msg::Id reason, const std::string& path)
{
    if (m_Host.HasLog()) m_Host.Log(FormatMessage(reason, path));
    return OpenOutcome::Skipped;
}

OpenOutcome OutputPolicy::Finish(OutputFile& out, const std::string& path, OutputFile::Mode mode, bool atEnd)
{
    m_OpenedPath = path;
    FileError error;
    if (out.Open(path, mode, atEnd, &error, [this](const std::string& made) { m_Host.OutputCreated(made); }))
        return OpenOutcome::Opened;
    ShowFileError(m_Host, error);
    return OpenOutcome::Failed;
}

OpenOutcome OutputPolicy::Open(const OutputRequest& request, const CSortInfo& group, int* answerState,
                               OutputFile& out)
{
    m_Owner = request.owner;
    m_OpenedPath.clear();
    if (Appending()) return OpenForAppend(request, answerState, out);
    const std::string& path = request.path;
    if (!Exists(path)) return Finish(out, path, OutputFile::Mode::CreateNew, false);
    // Decoding over a file this run is still reading would destroy it.
    if (request.inputs && request.inputs->Contains(path)) return Skip(msg::SkippedInput, path);
    if (IsLeftover(path)) return Skip(msg::SkippedExists, path);
    // Replacing without a question ("Overwrite", "Yes to All"): two outputs
    // of one command never replace each other.
    if (*answerState == answer::YesToAll && !request.streamOpen && WrittenByAnother(path, request.owner))
        return OpenUnderOtherName(path, out);

    const bool yencMerge = IsYencMergeCandidate(group, path);
    if (!request.streamOpen) {
        if (*answerState == answer::Ask) {
            m_Merge = false;
            if (!AskOverwrite(yencMerge, path, answerState)) {
                m_Host.RequestAbort();
                return OpenOutcome::Aborted;
            }
        }
        if (*answerState < answer::YesOnce) return Skip(msg::SkippedExists, path);
        if (*answerState == answer::YesOnce) *answerState = answer::Ask;
    }
    // Merging fills in a yEnc file in place; everything else is replaced,
    // and only once the new output has data.
    const bool inPlace = m_Merge && yencMerge;
    return Finish(out, path, inPlace ? OutputFile::Mode::InPlace : OutputFile::Mode::Replace, false);
}

OpenOutcome OutputPolicy::OpenForAppend(const OutputRequest& request, int* answerState, OutputFile& out)
{
    if (m_AppendTarget.empty()) {
        m_AppendTarget = m_Host.ChooseAppendTarget(AppendSuggestion(request.outputName));
        if (m_AppendTarget.empty()) {
            m_Host.RequestAbort();
            return OpenOutcome::Aborted;
        }
    }
    const std::string& path = m_AppendTarget;
    if (!Exists(path)) {
        *answerState = answer::NoToAll;
        m_AppendReplacePending = false;
        return Finish(out, path, OutputFile::Mode::CreateNew, false);
    }
    if (request.inputs && request.inputs->Contains(path)) return Skip(msg::SkippedInput, path);
    if (IsLeftover(path)) return Skip(msg::SkippedExists, path);
    if (*answerState != answer::NoToAll) {
        const int pressed = request.streamOpen ? button::Yes : m_Host.Ask(Prompt::Overwrite, path);
        if (pressed == button::Cancel) {
            m_Host.RequestAbort();
            return OpenOutcome::Aborted;
        }
        m_AppendReplacePending = pressed == button::Yes || pressed == button::YesToAll;
        *answerState = answer::NoToAll; // asked once per Extract command
    }
    if (m_AppendReplacePending) return Finish(out, path, OutputFile::Mode::Replace, false);
    return Finish(out, path, OutputFile::Mode::InPlace, true);
}

void OutputPolicy::OutputKept(const OutputFile& out)
{
    if (out.GetMode() == OutputFile::Mode::Replace && out.Path() == m_AppendTarget) m_AppendReplacePending = false;
    if (!Appending() && out.CreatedIdentity().second != 0) m_Written[out.CreatedIdentity()] = m_Owner;
}

bool OutputPolicy::WrittenByAnother(const std::string& path, std::int32_t owner) const
{
    struct stat st {};
    if (m_Written.empty() || ::lstat(path.c_str(), &st) != 0) return false;
    const auto it = m_Written.find({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    return it != m_Written.end() && it->second != owner;
}

OpenOutcome OutputPolicy::OpenUnderOtherName(const std::string& path, OutputFile& out)
{
    if (m_Settings.NoAutoRename) return Skip(msg::SkippedSameRun, path);
    const std::string other = FreePathBeside(path);
    if (other.empty()) return Skip(msg::SkippedSameRun, path);
    if (m_Host.HasLog()) m_Host.Log(FormatMessage(msg::RenamedSameRun, path, other));
    return Finish(out, other, OutputFile::Mode::CreateNew, false);
}

void OutputPolicy::EndCommand()
{
    m_Written.clear();
    m_AppendTarget.clear();
    m_AppendReplacePending = false;
    m_Merge = false;
}

} // namespace zarvex
