// The command-line tokenizer: a line held as one text (launchers, commands
// from a second instance) and, split at NUL bytes, an argument list. Checks
// that tokenizing always moves on and ends.
#include "app/command_line.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view rest = text;
    std::string value;
    while (!rest.empty()) {
        const std::size_t before = rest.size();
        NextToken(rest, value);
        if (rest.size() >= before) std::abort(); // a token that takes nothing never ends
    }
    ParseCommandLineText(text);
    std::vector<std::string> args;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= size; ++i)
        if (i == size || data[i] == 0) {
            args.emplace_back(text.substr(from, i - from));
            from = i + 1;
        }
    const CommandLine cl = ParseArguments(args);
    if (cl.files.size() > args.size()) std::abort();
    return 0;
}
