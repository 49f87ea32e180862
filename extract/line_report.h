// The wording of line errors in the log.
#pragma once

#include "text/message_ids.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex {

// One line error entry: message 300 with the line number and the input
// file, the reason (`msg::NoMessage` for none), the part suffix (messages
// 316/317, " in " and the subject, ")") when `part` is not negative, and the
// return to the default colour with a line end.
std::string LineErrorText(msg::Id reason, std::int64_t lineNo, int part, int total, std::string_view inputName,
                          std::string_view subject);

} // namespace zarvex
