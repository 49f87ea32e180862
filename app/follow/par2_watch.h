// What a follow run knows of the par2 sets in its output folder: their
// names, the files they protect, and the postings of theirs that still
// lack parts, with how long each has been quiet. Such a posting is written
// with its gaps once quiet for long enough, so that par2 can mend it.
#pragma once

#include "app/output_entries.h"

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zarvex {

class Par2Watch
{
public:
    using Clock = std::chrono::steady_clock;

    // The sets already in the output folder when the run starts.
    void Start(std::vector<std::string> bases) { m_Bases = std::move(bases); }
    // An output was written at `path`: a .par2 file makes its set and the
    // files it protects known.
    void NoteWritten(const std::string& path);
    // Whether the output named `name` (or at that path) may belong to a known set.
    bool Covers(const std::string& name) const;

    // Of `entries`, the postings of a known set still waiting for parts
    // that have had no new part for `quiet`; the others are remembered
    // with the time their part count last changed.
    std::vector<OutputEntry> QuietPostings(const std::vector<OutputEntry>& entries, Clock::time_point now,
                                           Clock::duration quiet);
    // How long until the first remembered posting has been quiet for
    // `quiet`, in milliseconds; -1 when none waits.
    int MillisecondsToNext(Clock::time_point now, Clock::duration quiet) const;
    bool Waiting() const { return !m_Lacking.empty(); }

private:
    struct Lacking
    {
        int parts = 0;
        Clock::time_point since;
    };
    std::vector<std::string> m_Bases;
    std::set<std::string> m_Protected;
    std::map<const CSortInfo*, Lacking> m_Lacking;
};

} // namespace zarvex
