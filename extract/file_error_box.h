// The file error report: "File Error: " and the cause text, logged in red
// and, unless the run is silent, asked with OK / Cancel.
#pragma once

#include "io/file_error.h"

#include <string>
#include <string_view>

namespace zarvex {

class Host;

// "File Error: " + `extra` + the cause text of `error`.
std::string FileErrorMessage(const FileError& error, std::string_view extra = {});

// Logs and shows the error. Cancel requests the abort of the run; the
// result is false then.
bool ShowFileError(Host& host, const FileError& error, std::string_view extra = {});

} // namespace zarvex
