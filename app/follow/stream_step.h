// Stream decoding over the output list: which entries the stream step
// extracts, into the stream folder, and the marks it leaves on the records.
// Free of Qt: the window and the tests drive the same functions.
#pragma once

#include "app/output_entries.h"
#include "model/records.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zarvex {

class Engine;
class Host;
struct RunContext;
struct Settings;

// Part flags as stream decoding reads them. They are the bits the engine
// sets for its own use: a part written out in full needs no stream decoding,
// and the one the user left out is treated the same.
inline constexpr std::uint32_t PF_STREAM_EXCLUDED = PF_WRITTEN;  // never stream decoded (0x8)
inline constexpr std::uint32_t PF_STREAM_WAITING = PF_CHECKFAIL; // the last attempt needed more data (0x20)

// The listing marker of a record (CSortInfo::m_ExtractMark).
namespace listing {
inline constexpr int NotShown = 0;
inline constexpr int Shown = 1;
inline constexpr int ShownWhileStreaming = 2; // new to the list while stream decoding was on
} // namespace listing

// Every record not shown yet is now: marker 2 while stream decoding is on, else 1.
void MarkListed(MyCObArray& list, bool streaming);

// What one stream step works with.
struct StreamRun {
    Engine& engine;
    MyCObArray& list;
    const Settings& settings;
    RunContext& run;
    Host& host;
    std::string folder; // "StreamDir"
};

// The stream step: each entry whose record is new to the list while
// streaming, or has a part waiting for more data, is extracted into the
// stream folder unless its named part is excluded or holds no encoded data;
// a result of -2 marks the named part waiting, any other clears the mark.
// Stops when aborted; the step ends as an extraction command does (the
// engine forgets which files its outputs took). Returns the rows whose part
// was extracted.
std::vector<std::size_t> StreamStep(const std::vector<OutputEntry>& entries, const StreamRun& s);

// Stream decoding stops: the held outputs are given up (PF_OPENBUF cleared
// everywhere) and the named part of every entry loses PF_STREAM_EXCLUDED.
void StopStreaming(Engine& engine, MyCObArray& list, const std::vector<OutputEntry>& entries);

// The answers to "Do you want to stream decode the existing files too?".
// Yes: every record is evaluated and listed again (status 0).
void StreamAllExisting(MyCObArray& list);
// No: a selected entry's record gets status 0, an unselected entry's named
// part is excluded. True when any entry was selected.
bool StreamSelectedOnly(const std::vector<OutputEntry>& entries, const std::vector<char>& selected);

} // namespace zarvex
