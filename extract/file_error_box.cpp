#include "extract/file_error_box.h"

#include "platform/host.h"
#include "text/display_text.h"
#include "text/messages.h"

namespace zarvex {

std::string FileErrorMessage(const FileError& error, std::string_view extra)
{
    std::string text(Message(msg::FileErrorLabel));
    text += ToShownText(extra);
    text += FileErrorText(error.cause);
    return text;
}

bool ShowFileError(Host& host, const FileError& error, std::string_view extra)
{
    const std::string text = FileErrorMessage(error, extra);
    if (host.HasLog()) host.Log("\t\xFD" "800000" + text + "\xFD" "000000\r\n");
    if (host.Silent()) return true;
    if (host.Ask(Prompt::FileError, text) != button::Cancel) return true;
    host.RequestAbort();
    return false;
}

} // namespace zarvex
