// Monitor mode: input files that are still growing (a mailbox or a news
// spool being downloaded) are looked at on a timer, and what was added since
// their last scan is scanned. The tick is free of Qt: the window runs it on
// its timer, tests run it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zarvex {

class Engine;
class Host;
class MyCObArray;
struct RunContext;
struct Settings;

// One entry of the input list.
struct InputEntry
{
    // Flag word bits.
    static constexpr std::uint32_t kMonitored = 0x1;
    static constexpr std::uint32_t kSecondState = 0x2; // cleared whenever monitoring goes off

    std::string path;
    std::int64_t size = 0; // bytes already scanned
    std::uint32_t flags = 0;
    // Where the last scan of the file stopped: the byte position and the
    // number of lines before it.
    std::int64_t scanPos = 0;
    std::int64_t scanLine = 0;

    bool IsMonitored() const { return (flags & kMonitored) != 0; }
    // Switches monitoring on or off (off also clears the second state bit).
    void SetMonitored(bool on) { flags = on ? flags | kMonitored : flags & ~(kMonitored | kSecondState); }
};

// A place in an input file to scan from: the byte position and the number
// of lines before it, as Engine::ScanFrom takes them.
struct ScanPoint
{
    std::int64_t pos = 0;
    std::int64_t line = 0;
};

// Where a rescan of `entry`'s file, whose size is now `size`, must start so
// that every part it may change is built again (see monitor.cpp).
ScanPoint ResumePoint(const MyCObArray& list, const InputEntry& entry, std::int64_t size);

// What the tick works on.
struct MonitorCall
{
    std::vector<InputEntry>& entries;
    MyCObArray& list;
    Engine& engine;
    const Settings& settings;
    RunContext& run;
    Host& host;
    // Called once before the first file is scanned (the window enters busy mode).
    std::function<void()> beginScanning = {};
};

// The states in which the tick does nothing.
struct MonitorGuards
{
    bool busy = false;       // the window runs an operation
    bool dragging = false;   // a drag out of the output list is in progress
    bool extracting = false; // the Extract command or the stream folder dialog runs
};

struct MonitorOutcome
{
    bool ran = false;              // the guards let the tick run
    bool rebuild = false;          // the output list must be rebuilt
    bool scanned = false;          // a file was scanned (the status text is cleared afterwards)
    bool aborted = false;          // a scan was stopped: the tick ended there
    std::vector<std::string> gone; // inputs whose entries were dropped (file gone or empty)
};

// One monitor tick over every monitored entry: a file that is gone or empty
// loses its parts and its entry (message 314 in the status line); one that
// changed size is scanned again from its resume point. `inTick` is the
// tick's re-entry flag. The output list rebuild (and the stream step after
// it) are the caller's, as the outcome says.
MonitorOutcome MonitorTick(const MonitorCall& call, const MonitorGuards& guards, bool& inTick);

} // namespace zarvex
