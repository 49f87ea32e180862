#include "app/json_report.h"

#include "io/sha256.h"
#include "codec/msg_type.h"
#include "extract/output_path.h"
#include "model/data_types.h"
#include "model/list_dump.h"
#include "model/records.h"
#include "text/ascii.h"
#include "text/display_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zarvex {
namespace {

using json = nlohmann::ordered_json;

// The state words of the low four status bits.
constexpr std::array<const char*, 5> kStateWords = {"changed", "started", "complete", "too many parts",
                                                    "missing parts"};

// The words of `CheckResult`, in its order.
constexpr std::array<const char*, 3> kCheckWords = {"not checked", "passed", "failed"};

const char* CheckWord(CheckResult result)
{
    return kCheckWords[static_cast<std::size_t>(result)];
}

json Text(std::string_view text)
{
    return JsonSafeText(text);
}

// Length of the UTF-8 sequence a lead byte starts (0: not a lead byte).
std::size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The parts an output is written from: the named part and those that follow
// it in the record up to the next output's named part.
std::vector<const CFInfo*> OutputParts(const CSortInfo& group, const CFInfo& named)
{
    std::vector<const CFInfo*> parts;
    const int first = group.IndexOfPart(&named);
    if (first < 0) return {&named};
    for (int i = first; i < group.GetSize(); ++i) {
        const CFInfo* part = group.GetAt(i);
        if (i > first && group.IndexOfNamed(part) >= 0 && !EqualsIgnoreCase(part->m_DestFile, named.m_DestFile))
            break;
        parts.push_back(part);
    }
    return parts;
}

// The log lines of one output, without colour markers and line ends.
std::vector<std::string> LogLines(std::string_view log)
{
    std::vector<std::string> lines;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        std::string_view line = log.substr(0, end);
        log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == '\t')
            line.remove_prefix(1);
        if (!line.empty()) lines.emplace_back(line);
    }
    return lines;
}

// Whether a log line reports a line of `part` ("... line 12 of <input>,").
bool NamesLineOf(const std::string& line, const CFInfo& part)
{
    const std::string of = " of " + part.m_File + ",";
    for (std::size_t at = line.find("line "); at != std::string::npos; at = line.find("line ", at + 1)) {
        std::size_t p = at + 5;
        std::int64_t n = 0;
        const std::size_t digits = p;
        while (p < line.size() && IsAsciiDigit(static_cast<unsigned char>(line[p])))
            n = n * 10 + (line[p++] - '0');
        if (p == digits || line.compare(p, of.size(), of) != 0) continue;
        if (n >= part.m_StartLine && (part.m_EndLine <= 0 || n <= part.m_EndLine)) return true;
    }
    return false;
}

json Checks(const CFInfo& part, const std::vector<std::string>& log)
{
    json checks = {{"damaged", (part.m_Status & ST_DATAERROR) != 0},
                   {"crc", CheckWord(part.m_CrcCheck)},
                   {"size", CheckWord(part.m_SizeCheck)}};
    if (part.m_MsgType & MT_YENC) {
        if (part.m_yEndSize > 0) checks["yencSize"] = {{"stated", part.m_yEndSize}, {"written", part.m_Length}};
        if (part.m_yPartCrc != 0) {
            char crc[9];
            std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(part.m_yPartCrc));
            checks["yencPartCrc"] = crc;
        }
    }
    json messages = json::array();
    for (const std::string& line : log)
        if (NamesLineOf(line, part)) messages.push_back(Text(line));
    checks["messages"] = std::move(messages);
    return checks;
}

// The copy of `part` that was decoded instead of it, if one was.
const CFInfo* DuplicateUsed(const CFInfo& part)
{
    for (const CFInfo* dup = part.m_pNextDup.get(); dup; dup = dup->m_pNextDup.get())
        if (dup->TestFlag(PF_WRITTEN)) return dup;
    return nullptr;
}

json PartJson(const CFInfo& part, const std::vector<std::string>& log)
{
    json j = {
        {"input", Text(part.m_File)},
        {"bytes", {{"start", part.m_SPos}, {"end", part.m_EPos}}},
        {"lines", {{"first", part.m_StartLine}, {"last", part.m_EndLine}}},
        {"subject", Text(part.m_FullSubj.empty() ? part.m_Subject : part.m_FullSubj)},
        {"from", Text(part.m_From)},
        {"date", IsoDate(part.m_Time)},
        {"newsgroups", Text(part.m_Newsgroups)},
        {"part", part.m_Part},
        {"total", part.m_Total},
        {"checks", Checks(part, log)},
    };
    const CFInfo* dup = DuplicateUsed(part);
    j["duplicateUsed"] = dup != nullptr;
    if (dup) {
        j["duplicate"] = {{"input", Text(dup->m_File)},
                          {"lines", {{"first", dup->m_StartLine}, {"last", dup->m_EndLine}}},
                          {"checks", Checks(*dup, log)}};
    }
    return j;
}

// The status number the text report shows for these parts.
int ReportStatus(const std::vector<const CFInfo*>& parts)
{
    int status = 0;
    for (const CFInfo* part : parts)
        if (!status || (part->m_Status & ~GS_MASK) != 0) status = part->m_Status ? part->m_Status : status;
    return status;
}

// The numbers of the expected parts not found, walked gap by gap (a total
// may be the largest 32-bit number); at most `kListedMissing` are listed,
// the count gives them all.
constexpr std::size_t kListedMissing = 1000;

std::pair<json, std::int64_t> MissingNumbers(const std::vector<const CFInfo*>& parts, int expected)
{
    std::set<std::int64_t> present;
    for (const CFInfo* part : parts)
        if (part->m_Part > 0 && part->m_Part <= expected) present.insert(part->m_Part);
    present.insert(std::int64_t{expected} + 1);
    json listed = json::array();
    std::int64_t count = 0, next = 1;
    for (const std::int64_t n : present) {
        for (std::int64_t m = next; m < n && listed.size() < kListedMissing; ++m) listed.push_back(m);
        count += std::max<std::int64_t>(n - next, 0);
        next = n + 1;
    }
    return {std::move(listed), count};
}

std::string ResultWord(const CSortInfo& group, int result, bool incomplete)
{
    if (result <= 0) return "not written";
    if (group.m_Status & ST_DATAERROR) return "damaged";
    return incomplete ? "incomplete" : "written";
}

// `text` with every line after the first indented by `by` blanks (JSON
// strings hold no raw line break).
std::string Indented(const std::string& text, std::size_t by)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        out += c;
        if (c == '\n') out.append(by, ' ');
    }
    return out;
}

} // namespace

std::string JsonSafeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
        if (n > 0 && i + n <= text.size() && IsValidUtf8(text.substr(i, n))) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
        out += escape;
        ++i;
    }
    return out;
}

json IsoDate(std::int64_t seconds)
{
    if (seconds == 0) return nullptr;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    char text[40];
    if (!gmtime_r(&t, &tm) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm) == 0) return nullptr;
    return text;
}

JsonReport::JsonReport() : m_Spool(std::tmpfile(), &std::fclose) {}

JsonReport::~JsonReport() = default;

nlohmann::ordered_json OutputJson(const CSortInfo& group, const CFInfo& named, const std::string& path,
                                  std::string_view log, int result, const HeadlessHost::WrittenOutput* written)
{
    const std::vector<const CFInfo*> parts = OutputParts(group, named);
    const std::vector<std::string> lines = LogLines(log);
    std::uint32_t encoding = 0;
    int dataType = 0;
    for (const CFInfo* part : parts) {
        if (!encoding) encoding = part->m_MsgType;
        if (!dataType) dataType = part->m_DataType;
    }
    const int status = ReportStatus(parts);
    auto [missing, missingCount] = MissingNumbers(parts, group.m_Expected);
    const std::string incomplete = IncompleteReason(group, parts);
    // Every expected part is there and whole; a posting that gives no part
    // count is one part, here.
    const bool complete = incomplete.empty() && (group.m_Expected <= 0 || (missing.empty() && group.m_Found >= group.m_Expected));
    const std::string resultWord = ResultWord(group, result, !complete);
    json out = {
        {"name", Text(path.empty() ? named.m_DestFile : path.substr(path.rfind('/') + 1))},
        {"originalName", Text(named.m_OrigName.empty() ? named.m_DestFile : named.m_OrigName)},
        {"folder", Text(path.empty() ? std::string() : FolderOf(path))},
        {"result", resultWord},
        {"encoding", std::string(MsgTypeName(encoding))},
        {"dataType", dataType ? std::string(DataTypeName(dataType)) : "unknown"},
        {"status",
         {{"code", status},
          {"state", kStateWords[static_cast<std::size_t>(group.m_Status & GS_MASK) % kStateWords.size()]},
          {"damaged", (group.m_Status & ST_DATAERROR) != 0},
          {"notExtracted", (group.m_Status & ST_NOTEXTRACTED) != 0},
          {"complete", complete},
          {"incomplete", incomplete.empty() ? json(nullptr) : json(incomplete)}}},
        {"parts", {{"expected", group.m_Expected}, {"found", group.m_Found}, {"missing", missingCount}}},
        {"missingParts", std::move(missing)},
    };
    out["size"] = written ? json(written->size) : json(nullptr);
    out["sha256"] = written ? json(written->sha256) : json(nullptr);
    json partList = json::array();
    for (const CFInfo* part : parts)
        partList.push_back(PartJson(*part, lines));
    out["partList"] = std::move(partList);
    json logJson = json::array();
    for (const std::string& line : lines)
        logJson.push_back(Text(line));
    out["log"] = std::move(logJson);
    return out;
}

void JsonReport::AddOutput(const CSortInfo& group, const CFInfo& named, const std::string& path,
                           std::string_view log, int result, const HeadlessHost::WrittenOutput* written)
{
    AddOutputObject(OutputJson(group, named, path, log, result, written));
}

void MarkRepairedOutput(json& out, std::int64_t size, const std::string& sha256)
{
    out["result"] = "written";
    out["status"]["damaged"] = false;
    out["status"]["complete"] = true;
    out["status"]["incomplete"] = nullptr;
    out["size"] = size;
    out["sha256"] = sha256;
    out["par2"] = "repaired";
}

void JsonReport::AddOutputObject(const json& out)
{
    const std::string resultWord = out["result"].get<std::string>();
    // Written out at once: the report holds no more than its counts per output.
    ++m_Counts[resultWord];
    ++m_OutputCount;
    const std::string text = Indented(out.dump(2, ' ', false, json::error_handler_t::replace), 4);
    if (!m_Spool || std::fprintf(m_Spool.get(), "%s\n    %s", m_OutputCount > 1 ? "," : "", text.c_str()) < 0)
        m_SpoolFailed = true;
}

void JsonReport::AddInput(const std::string& path, bool read, const std::string& why)
{
    json entry = {{"path", Text(path)}, {"read", read}, {"reason", read ? json(nullptr) : json(Text(why))}};
    // An input met again (a scan that failed, then listed as unreadable) keeps one entry, the last word.
    const auto [at, added] = m_InputIndex.try_emplace(path, m_Inputs.size());
    if (added)
        m_Inputs.push_back(std::move(entry));
    else
        m_Inputs[at->second] = std::move(entry);
}

bool JsonReport::Write(std::FILE* to, std::string_view version, int exitStatus) const
{
    int read = 0;
    for (const json& in : m_Inputs)
        read += in["read"] == true;
    const auto count = [&](const char* word) {
        const auto it = m_Counts.find(word);
        return it == m_Counts.end() ? 0 : it->second;
    };
    const int inputs = static_cast<int>(m_Inputs.size());
    const json head = {
        {"program", "zarvex"},
        {"version", std::string(version)},
        {"exitStatus", exitStatus},
        {"outputFolder", Text(m_OutputFolder)},
        {"counts",
         {{"outputs", m_OutputCount},
          {"written", count("written")},
          {"damaged", count("damaged")},
          {"incomplete", count("incomplete")},
          {"notWritten", count("not written")},
          {"inputs", inputs},
          {"inputsRead", read},
          {"inputsNotRead", inputs - read}}},
    };
    std::string text = head.dump(2, ' ', false, json::error_handler_t::replace);
    text.resize(text.size() - 2); // the closing "\n}"
    text += m_OutputCount == 0 ? ",\n  \"outputs\": []" : ",\n  \"outputs\": [";
    bool ok = !m_SpoolFailed && std::fputs(text.c_str(), to) >= 0;
    if (ok && m_OutputCount > 0) {
        ok = std::fflush(m_Spool.get()) == 0 && std::fseek(m_Spool.get(), 0, SEEK_SET) == 0;
        char buf[1 << 16];
        for (std::size_t n; ok && (n = std::fread(buf, 1, sizeof buf, m_Spool.get())) > 0;)
            ok = std::fwrite(buf, 1, n, to) == n;
        ok = ok && !std::ferror(m_Spool.get()) && std::fputs("\n  ]", to) >= 0;
    }
    if (!m_Par2.empty())
        ok = ok && std::fprintf(to, ",\n  \"par2\": %s",
                                Indented(m_Par2.dump(2, ' ', false, json::error_handler_t::replace), 2).c_str()) >= 0;
    text = ",\n  \"inputs\": " + Indented(m_Inputs.dump(2, ' ', false, json::error_handler_t::replace), 2) + "\n}\n";
    return ok && std::fputs(text.c_str(), to) >= 0;
}

} // namespace zarvex
