// The MIME header and parameter rules (continued and quoted values, RFC 2231
// names and their character sets, 8-bit names, boundaries): the input's
// lines become the headers of an attachment inside a multipart mail (the
// first byte picks a field start for the first line, the preferences and a
// second, nested level), the rest of the input its body. The mail is
// scanned, grouped and extracted; names stay plain, output stays small.
#include "fuzz_support.h"

#include "scan/mime_rules.h"
#include "text/display_text.h"

#include <string>
#include <string_view>

namespace {

using namespace zarvex;
using fuzz::Check;

constexpr std::string_view kFieldStarts[] = {
    "",
    "Content-Type: application/octet-stream; name",
    "Content-Disposition: attachment; filename*=",
    "Content-Disposition: attachment;\n filename*0*=",
    "Content-Type: multipart/mixed; boundary=",
    "Content-Transfer-Encoding: ",
    "Content-Disposition: inline; filename=\"",
    "Content-Type: text/plain; charset=",
};
constexpr std::string_view kCharsets[] = {"utf-8", "iso-8859-1", "windows-1252", "koi8-r", "x-unknown", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t how = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    // The character set conversions of names give UTF-8 whatever the bytes.
    const std::string_view charset = kCharsets[(how >> 5) % std::size(kCharsets)];
    Check(IsValidUtf8(scan::NameToUtf8(rest.substr(0, 1024), charset)));

    const bool nested = (how & 2) != 0;
    std::string mail = "From: a@example.org\nSubject: mime\nMIME-Version: 1.0\n"
                       "Content-Type: multipart/mixed; boundary=\"outer\"\n\n--outer\n";
    if (nested) mail += "Content-Type: multipart/mixed; boundary=\"inner\"\n\n--inner\n";
    mail += kFieldStarts[(how >> 2) & 7];
    mail += rest;
    mail += "\n\nQUJDREVGR0g=\n";
    if (nested) mail += "--inner--\n";
    mail += "--outer--\n";

    const std::string folder = fuzz::ScratchFolder() + "/mime";
    static const bool made = ::mkdir(folder.c_str(), 0700) == 0;
    Check(made);
    const std::string input = fuzz::ScratchFolder() + "/mime.txt";
    fuzz::WriteBytes(input, reinterpret_cast<const std::uint8_t*>(mail.data()), mail.size());

    Settings settings = fuzz::ScanSettings((how & 1) != 0);
    RunContext run = fuzz::ScanRun((how & 1) != 0);
    settings.WorkingDir = folder;
    const auto checkNames = [](MyCObArray& list) {
        for (int g = 0; g < list.GetSize(); ++g)
            for (int i = 0; i < list.GetAt(g)->GetSize(); ++i) {
                const std::string& name = list.GetAt(g)->GetAt(i)->m_DestFile;
                Check(name.size() <= 255 && name.find('/') == std::string::npos &&
                      name.find('\0') == std::string::npos);
            }
        return true;
    };
    fuzz::ScanAndExtract(input, settings, run, true, folder, 8, checkNames, [](ExtractRequest&) {});
    fuzz::CheckAndEmpty(folder, 4 * static_cast<std::int64_t>(mail.size()) + (1 << 16));
    return 0;
}
