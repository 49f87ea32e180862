// winmail.dat unpacked: an output that turns out to be TNEF (by its
// signature, whatever its name or type) is opened after it was written, the
// way recursive decoding treats decoded text: each file it holds is written
// beside it under the output policy (the overwrite answer of the command,
// never over an input, through a temporary file), with a name cleaned like
// any name from a message and unique among the container's files; a TNEF
// file inside it is unpacked in turn, up to the same nesting limit.
#include "extract/engine.h"

#include "extract/file_error_box.h"
#include "extract/output_path.h"
#include "extract/tnef.h"
#include "model/file_types.h"
#include "model/naming.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/host.h"
#include "text/ascii.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

// As recursive decoding: at most four levels of files inside files.
constexpr int kMaxTnefDepth = 4;
// A container larger than this is not read into memory.
constexpr std::int64_t kMaxTnefBytes = std::int64_t{1} << 31;
constexpr std::string_view kRtfBodyName = "message.rtf";

// The whole file when it starts with the TNEF signature; nothing otherwise.
std::optional<std::string> ReadIfTnef(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> data;
    struct stat st
    {
    };
    char head[4];
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxTnefBytes &&
        ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
        HasTnefSignature(std::string_view(head, sizeof head))) {
        data.emplace(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t done = 0;
        while (done < data->size()) {
            const ssize_t n = ::pread(fd, data->data() + done, data->size() - done, static_cast<off_t>(done));
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        data->resize(done);
    }
    ::close(fd);
    return data;
}

// `name` made unique among `taken` (ignoring case) by the naming rules'
// suffixes: two digits, or two letters after a stem that ends in a digit.
std::string UniqueAmong(const std::string& name, std::set<std::string, CaseLess>& taken)
{
    std::string candidate = name;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? std::string() : name.substr(dot);
    const bool letters = !stem.empty() && IsAsciiDigit(stem.back());
    for (int n = 1; taken.count(candidate) != 0; ++n) {
        std::string suffix =
            letters ? std::string{static_cast<char>('a' + (n / 26) % 26), static_cast<char>('a' + n % 26)}
                    : (n < 10 ? "0" : "") + std::to_string(n);
        if (letters && n >= 26 * 26) suffix = "z" + std::to_string(n);
        candidate = stem + suffix + ext;
    }
    taken.insert(candidate);
    return candidate;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool Extractor::TnefWanted() const
{
    return m_Settings.UnpackTnef && !m_Call.saveRaw && !m_Call.held && !m_Policy.Appending() &&
           m_Out->Kept() && m_Out->GetMode() != OutputFile::Mode::InPlace;
}

bool Extractor::UnpackTnefOutput(const ExtractRequest& request)
{
    int localAnswer = answer::Ask;
    return UnpackTnef(m_Out->Path(), request.depth, request.answerState ? request.answerState : &localAnswer);
}

bool Extractor::UnpackTnef(const std::string& path, int depth, int* answerState)
{
    const std::optional<std::string> bytes = ReadIfTnef(path);
    if (!bytes) return false;
    const std::string shown = ToDisplayUtf8(BaseName(path));
    if (depth >= kMaxTnefDepth) {
        Log(FormatMessage(msg::TnefTooDeep, shown));
        return true;
    }
    const std::optional<TnefContents> contents = ReadTnef(*bytes);
    if (!contents || contents->damaged) Log(FormatMessage(msg::TnefDamaged, shown));
    if (!contents) return true;
    std::vector<TnefFile> files = contents->files;
    if (contents->rtfBody) files.push_back({std::string(kRtfBodyName), *contents->rtfBody, 0});
    const std::string folder = FolderOf(path);
    std::set<std::string, CaseLess> taken;
    bool allWritten = true;
    for (const TnefFile& file : files) {
        std::string name = CleanName(file.name, m_Settings.Force8, false, m_Settings);
        if (name.empty()) {
            const int type = DetectSignature(reinterpret_cast<const unsigned char*>(file.data.data()),
                                             static_cast<int>(std::min<std::size_t>(file.data.size(), 64)));
            name = TypedName("file01", type);
        }
        name = UniqueAmong(name, taken);
        const std::string written = WriteTnefFile(folder, name, file, answerState);
        if (written.empty()) {
            allWritten = false;
            if (m_Call.aborted) return true;
            continue;
        }
        Log(FormatMessage(msg::TnefUnpacked, ToDisplayUtf8(name), shown));
        UnpackTnef(written, depth + 1, answerState);
    }
    // The container goes only when every file it held was written.
    if (!m_Settings.TnefKeepContainer && allWritten && ::unlink(path.c_str()) == 0)
        Log(FormatMessage(msg::TnefContainerRemoved, shown));
    return true;
}

std::string Extractor::WriteTnefFile(const std::string& folder, const std::string& name, const TnefFile& file,
                                     int* answerState)
{
    OutputRequest request;
    request.path = BuildOutputPath(folder, name);
    request.outputName = name;
    request.inputs = &m_List.m_RunInputs;
    if (request.path.empty()) return {};
    OutputFile out;
    const CSortInfo none; // no yEnc record: a file of the container is never merged into
    switch (m_Policy.Open(request, none, answerState, out)) {
    case OpenOutcome::Opened:
        break;
    case OpenOutcome::Aborted:
        m_Call.aborted = true;
        return {};
    default:
        return {};
    }
    FileError error;
    try {
        out.File().Write(file.data.data(), file.data.size());
    } catch (const FileException& e) {
        out.Discard();
        ShowFileError(m_Host, e.Error());
        return {};
    }
    if (!out.Keep(&error)) {
        ShowFileError(m_Host, error);
        return {};
    }
    if (m_Run.KeepDates && file.modified > 0) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(file.modified), 0}};
        ::utimensat(AT_FDCWD, request.path.c_str(), times, 0);
    }
    return request.path;
}

} // namespace zarvex
