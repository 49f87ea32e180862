// The output files of an unattended extraction in the order of the serial
// run, and which of them must keep that order among themselves when they
// are extracted on several threads.
//
// Two outputs depend on each other when they may land on the same path: a
// later one replaces, skips or merges into what the earlier one wrote (the
// overwrite answer and the yEnc merge test read the file on disk), and the
// run's report reads the file right after each output. They also depend on
// each other when they belong to one group: the extraction of a named part
// writes the group's status and its parts (lengths, flags, checks,
// duplicate switching), which the next named part of the group reads.
// Such outputs form one chain; the outputs of a chain run one after
// another in serial order, each only after the one before it was reported.
// Outputs of different chains touch disjoint records and disjoint paths.
//
// Nothing else of the sort list is shared: the extraction of one output
// reads the list only to find the record at its index (where the plan
// finds each named part, so the list-wide search for a part never runs)
// and the run's input identities (read only); it never evaluates, groups
// or renames (m_Names), and creates no parts. The one list-wide write, the
// made-up name of a record missing its start, happens only for an unnamed
// output, which a silent host skips before naming and which the plan
// leaves to the serial loop all the same (pathsKnown).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarvex {

class CFInfo;
class MyCObArray;

struct PlannedOutput
{
    int group = 0;         // index in the sort list
    std::size_t named = 0; // index in the group's named parts
    CFInfo* part = nullptr;
    int chain = 0;
    int after = -1; // the output of the same chain just before this one (-1: none)
};

struct ExtractionPlan
{
    std::vector<PlannedOutput> outputs; // every named part of every group, in list order
    int chains = 0;
    std::int64_t inputBytes = 0; // the input bytes the outputs read
    // Every output's path is known before extraction: its part is an
    // element (or its duplicate) of its group, and the element has a name.
    // An unnamed output would be named by the extraction from list-wide
    // state, so none may run beside another.
    bool pathsKnown = true;
};

// Plans the outputs of `list` (evaluated) for the folder `outDir` ("*": each
// input's own folder). Paths compare with letter case folded and their
// folders resolved, so that names differing only in case (which a
// case-insensitive file system merges) and folders reached by two spellings
// share a chain.
ExtractionPlan PlanExtraction(const MyCObArray& list, const std::string& outDir, bool saveRaw);

} // namespace zarvex
