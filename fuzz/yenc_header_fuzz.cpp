// The yEnc header and trailer lines: the input's first three lines are put
// after "=ybegin ", "=ypart " and "=yend " around a few data lines (the
// first byte chooses which keywords are added), and the file is scanned,
// evaluated and extracted. Checks the fields the parser keeps in range and
// that a header never makes the output larger than the sizes it was given.
#include "fuzz_support.h"

#include <string>
#include <string_view>

namespace {

using namespace zarvex;

std::string_view TakeLine(std::string_view& rest)
{
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t how = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string text = "Subject: fuzz (1/2)\n\n=ybegin ";
    if (how & 1) text += "part=1 total=2 ";
    text += "line=128 ";
    text += TakeLine(rest);
    if (how & 2) text += " name=x.bin";
    text += "\n=ypart ";
    text += TakeLine(rest);
    text += "\n";
    for (int i = 0; i < (how >> 4); ++i) text += "abcdefghijklmnopqrstuvwxyz0123456789\n";
    const std::string_view trailer = TakeLine(rest);
    text += "=yend ";
    text += trailer;
    text += "\n";
    text += rest;

    const std::string folder = fuzz::ScratchFolder() + "/yenc";
    static const bool made = ::mkdir(folder.c_str(), 0700) == 0;
    fuzz::Check(made);
    const std::string input = fuzz::ScratchFolder() + "/yenc.txt";
    fuzz::WriteBytes(input, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());

    Settings settings = fuzz::ScanSettings((how & 4) != 0);
    RunContext run = fuzz::ScanRun((how & 4) != 0);
    settings.WorkingDir = folder;
    const auto checkParts = [how](MyCObArray& list) {
        for (int g = 0; g < list.GetSize(); ++g)
            for (int i = 0; i < list.GetAt(g)->GetSize(); ++i) {
                const CFInfo& p = *list.GetAt(g)->GetAt(i);
                fuzz::Check(p.m_DestFile.size() <= 255 && p.m_ySize >= 0);
            }
        return (how & 8) != 0;
    };
    fuzz::ScanAndExtract(input, settings, run, true, folder, 8, checkParts, [](ExtractRequest&) {});
    // Whatever the header says, the data on disk stays small (sizes are
    // reached by sparse extension, never by writing zeros).
    fuzz::CheckAndEmpty(folder, 4 * static_cast<std::int64_t>(text.size()) + (1 << 16));
    return 0;
}
