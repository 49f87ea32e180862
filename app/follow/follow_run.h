// The headless follow mode ("--follow"): the named files and the files in
// the named folders are followed as monitor mode follows growing inputs, and
// every output is stream decoded into the output folder as soon as its last
// part has arrived, until SIGTERM or SIGINT. Needs no display.
#pragma once

#include <iosfwd>
#include <string>

namespace zarvex {

class Engine;
class MyCObArray;
struct CommandLine;

// Runs the follow mode of `cl` with the settings file `iniPath` (empty: the
// defaults, nothing saved). Problems that stop it from starting go to `err`
// (exit status 255); a run stopped by a signal returns 0.
int RunFollow(const CommandLine& cl, Engine& engine, const std::string& iniPath, std::ostream& err);

// Gives up the records that the stream step is done with and that no later
// scan builds again: the step has seen the group, none of its parts waits
// for data or holds an open output, and each ends before the last part
// known from its input file (a rescan starts at that one). Written outputs
// stay on disk; a long follow run's lists hold only what is still waiting.
// Returns the number of groups dropped.
int DropWrittenOutputs(MyCObArray& list);

} // namespace zarvex
