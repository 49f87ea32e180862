// The real core behind the Engine interface: the scanner, the grouping's
// evaluation pass, the extraction engine and the list dump writers.
#pragma once

#include "app/engine.h"

#include <memory>

namespace zarvex {

class Extractor;

class CoreEngine final : public Engine
{
public:
    CoreEngine();
    ~CoreEngine() override;
    CoreEngine(const CoreEngine&) = delete;
    CoreEngine& operator=(const CoreEngine&) = delete;

    int Scan(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run,
             Host& host) override;
    int ScanFrom(const std::string& path, MyCObArray& list, const Settings& settings, RunContext& run, Host& host,
                 std::int64_t& pos, std::int64_t& line) override;
    void Evaluate(MyCObArray& list) override;
    int Extract(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder, int& answer,
                const Settings& settings, RunContext& run, Host& host) override;
    void EndExtractCommand() override;
    void SetClipboardFile(ClipboardFile* clipboard) override;
    // None while a clipboard file takes decoded text: that one file is shared.
    std::unique_ptr<Engine> NewExtractionWorker() const override;
    bool WriteReport(const MyCObArray& list, const std::string& path) override;
    bool WriteListDump(const MyCObArray& list, const std::string& path) override;

    // Stream decoding (app/core_engine_stream.cpp).
    int ExtractStream(MyCObArray& list, int groupIndex, CFInfo* part, const std::string& folder,
                      const Settings& settings, RunContext& run, Host& host) override;
    void ReleaseStreamOutputs(MyCObArray& list) override;

private:
    // One extractor for the whole run: its output policy (the append target,
    // names already written) holds across the output files of one command.
    struct ExtractorOwners
    {
        MyCObArray* list = nullptr;
        const Settings* settings = nullptr;
        RunContext* run = nullptr;
        Host* host = nullptr;
        bool operator==(const ExtractorOwners&) const = default;
    };
    Extractor& ExtractorFor(MyCObArray& list, const Settings& settings, RunContext& run, Host& host);

    std::unique_ptr<Extractor> m_Extractor;
    ExtractorOwners m_ExtractorOwners;
    ClipboardFile* m_Clipboard = nullptr;
};

} // namespace zarvex
