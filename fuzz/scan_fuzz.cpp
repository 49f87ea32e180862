// Scans arbitrary bytes as an input file, with the default settings and with
// every scanner preference on (the first byte chooses), then evaluates the
// sort list and writes its report and list dump texts.
#include "fuzz_support.h"

#include "model/list_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    if (size == 0) return 0;
    const bool allOn = (data[0] & 1) != 0;
    const std::string path = fuzz::ScratchFolder() + "/scan.txt";
    fuzz::WriteBytes(path, data + 1, size - 1);
    const Settings settings = fuzz::ScanSettings(allOn);
    RunContext run = fuzz::ScanRun(allOn);
    HeadlessHost host(true);
    host.KeepLog(true);
    MyCObArray list(settings, &host);
    const int found = ScanFile(path, list, settings, run, host);
    if (found < 0) std::abort(); // only memory exhaustion may fail a scan
    list.Evaluate();
    const std::string report = ReportText(list);
    const std::string dump = ListDumpText(&list);
    // Text about the input never carries its control characters.
    for (const std::string* text : {&report, &dump, &host.LogText()})
        for (unsigned char c : *text)
            if (c == 0x1B || c == 0 || c == 0x7F) std::abort();
    return 0;
}
