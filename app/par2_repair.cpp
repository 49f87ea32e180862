#include "app/par2_repair.h"

#include "model/records.h"
#include "platform/host.h"
#include "scan/input_sources.h"
#include "text/ascii.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvex {
namespace {

constexpr char kGreen[] = "\xFD"
                          "008000";
constexpr char kRed[] = "\xFD"
                        "800000";
constexpr char kPlain[] = "\xFD"
                          "000000";

// par2 reads every block of the set once to verify it and again to repair:
// a minute, and a second for every 4 MB, is far more than it needs on any
// disk, and still ends a par2 that hangs.
int TimeoutSeconds(std::int64_t bytes)
{
    return 60 + static_cast<int>(std::min<std::int64_t>(bytes / (std::int64_t{4} << 20), 86400));
}

std::string LowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string LastName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

std::uint64_t ReadLe64(const unsigned char* p)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

struct Captured
{
    int status = -1; // exit status; -1 when it did not exit by itself
    bool timedOut = false;
    int error = 0; // errno of a failed start
    std::string output;
};

// Runs `program` with `args` in `folder`, its standard output and error
// caught in one pipe (at most 1 MB kept), stopped after `seconds`.
Captured RunCaptured(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                     int seconds)
{
    Captured c;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        c.error = errno;
        return c;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // In the child only calls that are safe after fork.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr); // a follow run blocks its signals
        ::setpgid(0, 0);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        if (::chdir(folder.c_str()) == 0) ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        c.error = errno;
        ::close(pipeFds[0]);
        return c;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::array<char, 8192> buffer;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            c.timedOut = true;
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int n = ::poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) continue;
        const ssize_t got = ::read(pipeFds[0], buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (c.output.size() < (1u << 20)) c.output.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    int w = 0;
    while (::waitpid(pid, &w, 0) < 0 && errno == EINTR) {
    }
    if (!c.timedOut && WIFEXITED(w)) c.status = WEXITSTATUS(w);
    return c;
}

// par2's lines without its progress counters (written with carriage returns).
std::vector<std::string> Par2OutputLines(const std::string& output)
{
    std::vector<std::string> lines;
    std::string line;
    for (char ch : output) {
        if (ch == '\r' || ch == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += ch;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The lines worth keeping in the log: what par2 found and decided.
std::string Summary(const std::vector<std::string>& lines)
{
    static constexpr std::array<std::string_view, 5> kKept = {"Target:", "You have", "You need", "Repair ", "All files"};
    std::string text;
    for (const std::string& l : lines)
        for (std::string_view k : kKept)
            if (l.compare(0, k.size(), k) == 0 && l.find('%') == std::string::npos) {
                text += "\t" + l + "\r\n";
                break;
            }
    return text;
}

// "Target: "NAME" - damaged. ..." and "- missing." lines: the files to mend.
std::vector<std::string> DamagedTargets(const std::vector<std::string>& lines)
{
    std::vector<std::string> names;
    for (const std::string& l : lines) {
        if (l.compare(0, 9, "Target: \"") != 0) continue;
        const std::size_t end = l.rfind("\" - ");
        if (end == std::string::npos || end < 9) continue;
        const std::string state = l.substr(end + 4);
        if (state.compare(0, 7, "damaged") == 0 || state.compare(0, 7, "missing") == 0)
            names.push_back(l.substr(9, end - 9));
    }
    return names;
}

// From "You have X out of Y data blocks available.": Y - X.
std::int64_t MissingBlocks(const std::vector<std::string>& lines)
{
    for (const std::string& l : lines) {
        long long have = 0, total = 0;
        if (std::sscanf(l.c_str(), "You have %lld out of %lld data blocks available", &have, &total) == 2)
            return std::max<long long>(total - have, 0);
    }
    return 0;
}

std::set<std::string> FolderNames(const std::string& folder)
{
    std::set<std::string> names;
    for (const std::string& path : RegularFilesIn(folder)) names.insert(LastName(path));
    return names;
}

} // namespace

std::string Par2BaseName(std::string_view name)
{
    const std::string lower = LowerAscii(name);
    if (lower.size() <= 5 || lower.compare(lower.size() - 5, 5, ".par2") != 0) return {};
    std::string base(name.substr(0, name.size() - 5));
    // ".vol03+04" (also ".vol3-5" of older programs) names a volume of the set.
    const std::size_t vol = LowerAscii(base).rfind(".vol");
    if (vol != std::string::npos && vol + 4 < base.size() &&
        std::all_of(base.begin() + static_cast<std::ptrdiff_t>(vol) + 4, base.end(),
                    [](char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-'; }))
        base.erase(vol);
    return base;
}

std::vector<std::string> Par2Bases(const MyCObArray& list, const std::string& folder)
{
    std::vector<std::string> bases;
    for (int g = 0; g < list.GetSize(); ++g)
        for (const CFInfo* named : list[g]->m_Named)
            if (std::string b = Par2BaseName(named->m_DestFile); !b.empty()) bases.push_back(b);
    if (!folder.empty() && folder != "*")
        for (const std::string& file : RegularFilesIn(folder))
            if (std::string b = Par2BaseName(LastName(file)); !b.empty()) bases.push_back(b);
    return bases;
}

bool InPar2Posting(std::string_view name, const std::vector<std::string>& bases)
{
    return std::any_of(bases.begin(), bases.end(), [&](const std::string& b) {
        return name.size() >= b.size() && name.compare(0, b.size(), b) == 0;
    });
}

std::vector<std::string> Par2ProtectedNames(const std::string& par2Path)
{
    std::vector<std::string> names;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(par2Path.c_str(), "rbe"), &std::fclose);
    if (!file) return names;
    static constexpr unsigned char kMagic[8] = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};
    static constexpr char kFileDesc[16] = {'P', 'A', 'R', ' ', '2', '.', '0', 0,
                                           'F', 'i', 'l', 'e', 'D', 'e', 's', 'c'};
    std::array<unsigned char, 64> header;
    // A packet: magic, length (header included, a multiple of 4), hash,
    // set id, type; a file description holds ids, hashes, length and name.
    while (std::fread(header.data(), 1, header.size(), file.get()) == header.size()) {
        if (std::memcmp(header.data(), kMagic, 8) != 0) break;
        const std::uint64_t length = ReadLe64(header.data() + 8);
        if (length < 64 || length % 4 != 0 || length > (std::uint64_t{1} << 40)) break;
        const std::uint64_t body = length - 64;
        if (std::memcmp(header.data() + 48, kFileDesc, 16) == 0 && body > 56 && body < 65536) {
            std::string data(body, '\0');
            if (std::fread(data.data(), 1, data.size(), file.get()) != data.size()) break;
            std::string name = data.substr(56);
            name.erase(std::find(name.begin(), name.end(), '\0'), name.end());
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
            continue;
        }
        if (::fseeko(file.get(), static_cast<off_t>(body), SEEK_CUR) != 0) break;
    }
    return names;
}

std::vector<Par2Set> Par2SetsFor(const std::string& folder, const std::vector<std::string>& written)
{
    std::map<std::string, Par2Set> sets;
    for (const std::string& path : RegularFilesIn(folder)) {
        const std::string base = Par2BaseName(LastName(path));
        if (base.empty()) continue;
        Par2Set& set = sets[base];
        set.folder = folder;
        set.base = base;
        // The index file (no ".vol") first: it is the small one to read.
        if (LastName(path).size() == base.size() + 5)
            set.par2.insert(set.par2.begin(), path);
        else
            set.par2.push_back(path);
    }
    std::set<std::string> writtenNames;
    for (const std::string& w : written) writtenNames.insert(LastName(w));
    std::vector<Par2Set> found;
    for (auto& [base, set] : sets) {
        for (const std::string& par2 : set.par2) {
            set.names = Par2ProtectedNames(par2);
            if (!set.names.empty()) break;
        }
        const bool concerned =
            std::any_of(set.par2.begin(), set.par2.end(), [&](const std::string& p) { return writtenNames.count(LastName(p)); }) ||
            std::any_of(set.names.begin(), set.names.end(), [&](const std::string& n) { return writtenNames.count(n); });
        if (!concerned || set.names.empty()) continue;
        for (const std::string& n : set.names) {
            struct stat st
            {
            };
            if (::stat((folder + "/" + n).c_str(), &st) == 0) set.bytes += st.st_size;
        }
        found.push_back(std::move(set));
    }
    return found;
}

std::string FindPar2Program()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t colon = std::min(dirs.find(':', from), dirs.size());
        const std::string dir = dirs.substr(from, colon - from);
        const std::string candidate = (dir.empty() ? "." : dir) + "/par2";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        from = colon + 1;
    }
    return {};
}

Par2Result CheckPar2Set(const Par2Set& set, const std::string& program)
{
    Par2Result r;
    const std::string index = LastName(set.par2.front());
    const int seconds = TimeoutSeconds(set.bytes);
    const Captured verify = RunCaptured(program, {"verify", "--", index}, set.folder, seconds);
    const std::vector<std::string> lines = Par2OutputLines(verify.output);
    r.text = Summary(lines);
    const auto failed = [&](const Captured& c, const char* step) {
        r.outcome = Par2Result::Outcome::Failed;
        r.why = c.error ? std::string(std::strerror(c.error))
                : c.timedOut ? std::string("par2 ") + step + " took more than " + std::to_string(seconds) + " seconds and was stopped"
                             : std::string("par2 ") + step + " ended with status " + std::to_string(c.status);
        return r;
    };
    switch (verify.status) {
    case 0:
        r.outcome = Par2Result::Outcome::Verified;
        return r;
    case 1:
        break;
    case 2:
        r.outcome = Par2Result::Outcome::NotRepairable;
        r.blocksMissing = MissingBlocks(lines);
        return r;
    default:
        return failed(verify, "verify");
    }
    const std::set<std::string> before = FolderNames(set.folder);
    const Captured repair = RunCaptured(program, {"repair", "--", index}, set.folder, seconds);
    r.text += Summary(Par2OutputLines(repair.output));
    if (repair.status != 0) return failed(repair, "repair");
    r.outcome = Par2Result::Outcome::Repaired;
    r.repaired = DamagedTargets(lines);
    // par2 keeps a damaged file as NAME.1 beside the mended one: that copy
    // is of no use, and only a name par2 made in this call is removed.
    for (const std::string& name : FolderNames(set.folder)) {
        if (before.count(name)) continue;
        for (const std::string& target : r.repaired)
            if (name.size() > target.size() + 1 && name.compare(0, target.size() + 1, target + ".") == 0 &&
                std::all_of(name.begin() + static_cast<std::ptrdiff_t>(target.size()) + 1, name.end(),
                            [](char c) { return c >= '0' && c <= '9'; }))
                ::unlink((set.folder + "/" + name).c_str());
    }
    return r;
}

void MarkMended(CSortInfo& group)
{
    group.m_Status = (group.m_Status & ~(GS_MASK | ST_DATAERROR | ST_INCOMPLETE)) | GS_COMPLETE;
}

std::string Par2LogLine(const Par2Set& set, const Par2Result& r)
{
    const std::string name = set.base + ".par2";
    switch (r.outcome) {
    case Par2Result::Outcome::Verified:
        return std::string(kGreen) + "par2 " + name + ": verified" + kPlain + "\r\n";
    case Par2Result::Outcome::Repaired:
        return std::string(kGreen) + "par2 " + name + ": repaired " + std::to_string(r.repaired.size()) +
               (r.repaired.size() == 1 ? " file" : " files") + kPlain + "\r\n";
    case Par2Result::Outcome::NotRepairable:
        return std::string(kRed) + "par2 " + name + ": not repairable: " + std::to_string(r.blocksMissing) +
               " blocks missing" + kPlain + "\r\n";
    case Par2Result::Outcome::Failed:
        break;
    }
    return std::string(kRed) + "par2 " + name + ": not checked: " + r.why + kPlain + "\r\n";
}

std::string Par2PlainLine(const Par2Set& set, const Par2Result& result)
{
    const std::string marked = Par2LogLine(set, result);
    std::string plain;
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (marked[i] == '\xFD')
            i += 6;
        else if (marked[i] != '\r' && marked[i] != '\n')
            plain += marked[i];
    }
    return plain;
}

std::vector<Par2Checked> VerifyAndRepair(const std::string& folder, const std::vector<std::string>& written,
                                         Host& host)
{
    std::vector<Par2Checked> checked;
    if (written.empty()) return checked;
    std::vector<Par2Set> sets = Par2SetsFor(folder, written);
    if (sets.empty()) return checked;
    const std::string program = FindPar2Program();
    for (Par2Set& set : sets) {
        Par2Result r;
        if (program.empty()) {
            r.why = "the par2 program is not installed (Debian package par2)";
        } else {
            host.SetStatus("Verifying " + set.base + ".par2...");
            r = CheckPar2Set(set, program);
        }
        if (host.HasLog()) host.Log(Par2LogLine(set, r) + r.text);
        checked.push_back({std::move(set), std::move(r)});
    }
    return checked;
}

} // namespace zarvex
