#include "app/unattended.h"

#include "app/engine.h"
#include "model/records.h"
#include "model/settings.h"
#include "platform/host.h"

#include <climits>

namespace zarvex {
namespace {

constexpr int kHighestCountStatus = 253;
constexpr int kExitAborted = 254; // the run result -2
constexpr int kExitFailed = 255;  // any other failure

} // namespace

int RunUnattendedExtraction(MyCObArray& list, const Settings& settings, RunContext& run, Host& host,
                            Engine& engine, const std::string& outDir, OutputWatcher* watcher)
{
    int answer = settings.Overwrite ? answer::YesToAll : answer::NoToAll;
    int total = 0;
    int lastError = 0;
    engine.Evaluate(list);
    int count = 0, number = 0;
    for (int g = 0; g < list.GetSize(); ++g)
        count += static_cast<int>(list.GetAt(g)->m_Named.size());
    // Indexes, not iterators: extraction may add groups (recursive decoding)
    // and change a group's named parts while the loop runs.
    for (int g = 0; g < list.GetSize() && !host.AbortRequested(); ++g) {
        CSortInfo* group = list.GetAt(g);
        for (std::size_t n = 0; n < group->m_Named.size() && !host.AbortRequested(); ++n) {
            host.SetProgress(100.0 * g / list.GetSize());
            CFInfo* named = group->m_Named[n];
            // Recursive decoding may add outputs while the loop runs.
            if (++number > count) count = number;
            if (watcher) watcher->Starting(*named, number, count);
            const int r = engine.Extract(list, g, named, outDir, answer, settings, run, host);
            group = list.GetAt(g);
            if (r > 0 && (group->m_Status & ST_DATAERROR)) {
                // Written, but damaged (short, or data errors no duplicate repaired): no success.
                lastError = -1;
                group->m_Status = (group->m_Status & GS_MASK) | ST_DATAERROR;
            } else if (r > 0) {
                total = total > INT_MAX - r ? INT_MAX : total + r;
                group->m_Status &= GS_MASK;
            } else {
                // Nothing written is a failure too: a run with failures never reports success.
                lastError = r == 0 ? -1 : r;
                group->m_Status |= ST_NOTEXTRACTED;
            }
            // The part list may have changed under the extraction: the named part as it stands now.
            if (watcher) watcher->Finished(*group, n < group->m_Named.size() ? *group->m_Named[n] : *named, r);
        }
    }
    host.SetProgress(-1);
    return lastError != 0 ? lastError : total;
}

int ExitStatusFor(int result)
{
    if (result >= 0) return result > kHighestCountStatus ? kHighestCountStatus : result;
    return result == -2 ? kExitAborted : kExitFailed;
}

} // namespace zarvex
