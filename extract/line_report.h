// The wording of line errors in the log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex {

// One line error entry: message 300 with the line number and the input
// file, the reason (a message id, 0 for none), the part suffix (messages
// 316/317, " in " and the subject, ")") when `part` is not negative, and the
// return to the default colour with a line end.
std::string LineErrorText(int reason, std::int64_t lineNo, int part, int total, std::string_view inputName,
                          std::string_view subject);

} // namespace zarvex
