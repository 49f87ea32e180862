#include "app/core_engine.h"

#include "extract/engine.h"
#include "model/list_dump.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "scan/scanner.h"

namespace zarvex {

CoreEngine::CoreEngine() = default;

CoreEngine::~CoreEngine()
{
    if (m_Extractor) m_Extractor->EndExtractCommand();
}

int CoreEngine::Scan(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run,
                     Host& host)
{
    return ScanFile(path, list, settings, run, host);
}

int CoreEngine::ScanFrom(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run,
                         Host& host, std::int64_t& pos, std::int64_t& line)
{
    return ScanFile(path, list, settings, run, host, &pos, &line);
}

void CoreEngine::Evaluate(MyCObArray& list)
{
    list.Evaluate();
}

int CoreEngine::Extract(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder,
                        int& answer, const Settings& settings, RunContext& run, Host& host)
{
    return ExtractorFor(list, settings, run, host).ExtractOutputFile({.part = part,
                                           .index = groupIndex,
                                           .outDir = folder,
                                           .answerState = &answer,
                                           .skipIncomplete = settings.IgnoreIncomplete,
                                           .saveRaw = run.SaveRaw});
}

void CoreEngine::EndExtractCommand()
{
    if (m_Extractor) m_Extractor->EndExtractCommand();
}

Extractor& CoreEngine::ExtractorFor(MyCObArray& list, const Settings& settings, RunContext& run, Host& host)
{
    // The extractor keeps references to all four: another list, settings,
    // run or host (a new window, a new run) needs an extractor of its own.
    const ExtractorOwners owners{&list, &settings, &run, &host};
    if (!m_Extractor || m_ExtractorOwners != owners) {
        m_Extractor = std::make_unique<Extractor>(list, settings, run, host);
        m_Extractor->SetClipboardFile(m_Clipboard);
        m_ExtractorOwners = owners;
    }
    return *m_Extractor;
}

void CoreEngine::SetClipboardFile(ClipboardFile* clipboard)
{
    m_Clipboard = clipboard;
    if (m_Extractor) m_Extractor->SetClipboardFile(clipboard);
}

std::unique_ptr<Engine> CoreEngine::NewExtractionWorker() const
{
    if (m_Clipboard) return nullptr;
    return std::make_unique<CoreEngine>();
}

bool CoreEngine::WriteReport(const MyCObArray& list, const std::string& path)
{
    return zarvex::WriteReport(list, path);
}

bool CoreEngine::WriteListDump(const MyCObArray& list, const std::string& path)
{
    return zarvex::WriteListDump(&list, path);
}

} // namespace zarvex
