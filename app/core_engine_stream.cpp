// Stream decoding through the run's one extractor: it holds the unfinished
// outputs between calls.
#include "app/core_engine.h"

#include "extract/engine.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"

namespace zarvex {

int CoreEngine::ExtractStream(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder,
                              const Settings& settings, RunContext& run, Host& host)
{
    int answer = 0; // every stream call asks afresh about an existing file
    return ExtractorFor(list, settings, run, host).ExtractOutputFile(
        {.part = part, .index = groupIndex, .outDir = folder, .answerState = &answer, .stream = true});
}

void CoreEngine::ReleaseStreamOutputs(MyCObArray& list)
{
    if (m_Extractor && m_ExtractorOwners.list == &list) m_Extractor->ReleaseStreamOutputs();
}

} // namespace zarvex
