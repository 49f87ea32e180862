// The remembered answer of the overwrite question, shared by every output
// file of one Extract command or unattended run.
#pragma once

namespace zarvex::answer {

inline constexpr int Ask = 0;      // ask for the next existing file
inline constexpr int YesOnce = 1;  // replace this file, then ask again
inline constexpr int YesToAll = 2; // replace every existing file
inline constexpr int NoToAll = -1; // keep every existing file

} // namespace zarvex::answer
