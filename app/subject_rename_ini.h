// The Rename from Subject options in section "SubjectRename" of the INI file.
#pragma once

#include "app/ini_file.h"
#include "model/subject_rename.h"

namespace zarvex {

inline constexpr std::string_view kSubjectRenameSection = "SubjectRename";

SubjectRenameOptions LoadSubjectRename(const IniFile& ini);
void StoreSubjectRename(const SubjectRenameOptions& options, IniFile& ini);

} // namespace zarvex
