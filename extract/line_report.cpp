#include "extract/line_report.h"

#include "text/display_text.h"
#include "text/messages.h"

namespace zarvex {

std::string LineErrorText(msg::Id reason, std::int64_t lineNo, int part, int total, std::string_view inputName,
                          std::string_view subject)
{
    std::string text = FormatMessage(msg::LineError, std::to_string(lineNo), inputName);
    if (reason != msg::NoMessage) text += Message(reason);
    if (part >= 0) {
        text += total > 0 ? FormatMessage(msg::PartOfTotal, std::to_string(part), std::to_string(total))
                          : FormatMessage(msg::PartNumber, std::to_string(part));
        if (!subject.empty()) {
            text += " in ";
            text += ToShownText(subject);
        }
        text += ')';
    }
    text += "\xFD" "000000\r\n";
    return text;
}

} // namespace zarvex
