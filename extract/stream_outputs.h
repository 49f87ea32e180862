// The outputs stream decoding keeps between calls of the extraction engine:
// a file whose data have not all arrived stays open (or, with "StreamClose",
// closed but kept) under its temporary name until a later call finishes it.
// The store owns them; the part that holds one carries PF_OPENBUF, which the
// output list shows.
#pragma once

#include "extract/output_file.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zarvex {

class StreamOutputs {
public:
    // What an output was decoded from: its record's status and each part's
    // serial number and input range. The same parts give the same output.
    using Makeup = std::vector<std::int64_t>;

    // The held output of `key` taken out of the store (null when none), with
    // the serial number of the part that held it in `holder`.
    std::unique_ptr<OutputFile> Take(const std::string& key, std::int32_t* holder);
    void Put(const std::string& key, std::unique_ptr<OutputFile> out, std::int32_t holder, Makeup makeup);
    // Whether `key` holds an output decoded from `makeup`.
    bool HoldsMadeOf(const std::string& key, const Makeup& makeup) const;
    // Gives up every held output: being unfinished, each is deleted.
    void DiscardAll() { m_Held.clear(); }
    bool Empty() const { return m_Held.empty(); }

private:
    struct Held {
        std::unique_ptr<OutputFile> out;
        std::int32_t holder = 0;
        Makeup makeup;
    };
    std::map<std::string, Held> m_Held;
};

// The key of an output path: its folder resolved to the real path, then its
// name. Held outputs are found by exact comparison of keys.
std::string StreamKey(const std::string& path);

} // namespace zarvex
