#include "extract/line_report.h"

#include "text/display_text.h"
#include "text/messages.h"

namespace zarvex {

std::string LineErrorText(int reason, std::int64_t lineNo, int part, int total, std::string_view inputName,
                          std::string_view subject)
{
    std::string text = FormatMessage(300, std::to_string(lineNo), inputName);
    if (reason != 0) text += Message(reason);
    if (part >= 0) {
        text += total > 0 ? FormatMessage(316, std::to_string(part), std::to_string(total))
                          : FormatMessage(317, std::to_string(part));
        if (!subject.empty()) {
            text += " in ";
            text += ToDisplayUtf8(subject);
        }
        text += ')';
    }
    text += "\xFD" "000000\r\n";
    return text;
}

} // namespace zarvex
