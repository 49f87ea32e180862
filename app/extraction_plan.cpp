#include "app/extraction_plan.h"

#include "extract/output_path.h"
#include "model/records.h"
#include "model/unpacked_inputs.h"
#include "text/ascii.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace zarvex {
namespace {

// The element of `group` that is `part` or holds it as a duplicate, looked
// for from `from` on (named parts come in element order); -1 when none is.
int ElementOf(const CSortInfo& group, const CFInfo* part, int from)
{
    const int n = group.GetSize();
    for (int k = 0; k < n; ++k) {
        const int i = (from + k) % n;
        for (const CFInfo* p = group.GetAt(i); p; p = p->m_pNextDup.get())
            if (p == part) return i;
    }
    return -1;
}

// A folder as the file system resolves it (as given when it does not exist).
class FolderNames
{
public:
    const std::string& Resolved(const std::string& folder)
    {
        auto [it, added] = m_Resolved.try_emplace(folder);
        if (added) {
            char* real = ::realpath(folder.c_str(), nullptr);
            it->second = real ? real : folder;
            std::free(real);
        }
        return it->second;
    }

private:
    std::map<std::string, std::string> m_Resolved;
};

// Groups joined by a shared path (union-find over group indexes).
class GroupSets
{
public:
    explicit GroupSets(int n) : m_Parent(static_cast<std::size_t>(n))
    {
        std::iota(m_Parent.begin(), m_Parent.end(), 0);
    }
    int Find(int g)
    {
        while (m_Parent[g] != g)
            g = m_Parent[g] = m_Parent[m_Parent[g]];
        return g;
    }
    void Join(int a, int b) { m_Parent[Find(a)] = Find(b); }

private:
    std::vector<int> m_Parent;
};

} // namespace

ExtractionPlan PlanExtraction(const MyCObArray& list, const std::string& outDir, bool saveRaw)
{
    ExtractionPlan plan;
    FolderNames folders;
    GroupSets sets(list.GetSize());
    std::unordered_map<std::string, int> groupOfPath;
    for (int g = 0; g < list.GetSize(); ++g) {
        const CSortInfo& group = *list.GetAt(g);
        if (group.m_Named.empty()) continue;
        for (int i = 0; i < group.GetSize(); ++i) {
            const CFInfo& p = *group.GetAt(i);
            if (p.m_EPos > p.m_SPos)
                plan.inputBytes =
                    std::min<std::int64_t>(LLONG_MAX / 2, plan.inputBytes + p.m_EPos - p.m_SPos);
        }
        int element = 0;
        for (std::size_t n = 0; n < group.m_Named.size(); ++n) {
            plan.outputs.push_back({.group = g, .named = n, .part = group.m_Named[n]});
            element = ElementOf(group, group.m_Named[n], element);
            // The extraction names the output after this element, as it finds it.
            const CFInfo* first = element >= 0 ? group.GetAt(element) : nullptr;
            if (!first || first->m_DestFile.empty()) {
                plan.pathsKnown = false;
                element = 0;
                continue;
            }
            const std::string path =
                BuildOutputPath(ResolveOutputFolder(outDir, InputLocation(list, first->m_File)),
                                first->m_DestFile, OutputSuffix(saveRaw));
            if (path.empty()) continue; // no file is touched: only the log says why
            const std::size_t slash = path.rfind('/');
            const std::string key =
                ToLowerAscii(folders.Resolved(path.substr(0, slash == 0 ? 1 : slash)) + path.substr(slash));
            const auto [it, added] = groupOfPath.try_emplace(key, g);
            if (!added) sets.Join(g, it->second);
        }
    }
    std::unordered_map<int, int> chainOfSet, lastOfChain;
    for (std::size_t o = 0; o < plan.outputs.size(); ++o) {
        PlannedOutput& out = plan.outputs[o];
        const auto [chain, added] = chainOfSet.try_emplace(sets.Find(out.group), plan.chains);
        if (added) ++plan.chains;
        out.chain = chain->second;
        const auto [last, first] = lastOfChain.try_emplace(out.chain, static_cast<int>(o));
        if (!first) out.after = std::exchange(last->second, static_cast<int>(o));
    }
    return plan;
}

} // namespace zarvex
