// Output names: CleanName, SafeOutputName and BuildOutputPath on arbitrary
// bytes, with the settings the first byte chooses. Checks the promises the
// names make: at most 255 bytes, one plain name (no "/" or NUL, never "." or
// ".."), never starting with ".", valid UTF-8 kept valid, and a path that
// is the folder, one "/" and the name.
#include "fuzz_support.h"

#include "extract/output_path.h"
#include "model/naming.h"
#include "text/display_text.h"

#include <string>
#include <string_view>

namespace {

using namespace zarvex;
using fuzz::Check;

void CheckPlainName(const std::string& name)
{
    if (name.empty()) return;
    Check(name.size() <= 255);
    Check(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
    Check(name != "." && name != ".." && name[0] != '.');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t how = data[0];
    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
    Settings settings;
    settings.Force8 = (how & 1) != 0;
    settings.DecodeUTF8 = (how & 2) != 0;
    settings.StripPercent = (how & 4) != 0;

    const std::string cleaned = CleanName(name, (how & 8) != 0, (how & 16) != 0, settings);
    CheckPlainName(cleaned);
    Check(cleaned.find('\\') == std::string::npos);
    for (unsigned char c : cleaned) Check(c >= 32 && c != 127);
    if (IsValidUtf8(name) && !settings.DecodeUTF8 && !settings.StripPercent) Check(IsValidUtf8(cleaned));

    const std::string_view suffix = (how & 32) ? ".uu" : "";
    const std::string safe = SafeOutputName(name, suffix);
    CheckPlainName(safe);
    if (IsValidUtf8(name)) Check(IsValidUtf8(safe));

    const std::string folder = (how & 64) ? "/" : "/tmp/out";
    const std::string path = BuildOutputPath(folder, name, suffix);
    if (!path.empty()) {
        const std::string prefix = folder == "/" ? "/" : folder + "/";
        Check(path.compare(0, prefix.size(), prefix) == 0);
        Check(path.substr(prefix.size()) == safe);
    }
    return 0;
}
