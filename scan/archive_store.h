// The members of archives and compressed inputs, each unpacked into a
// temporary file of the program's own ("~ZRV<n>.TMP") in the working folder.
//
// Disk use: the extraction re-reads parts by their byte positions, so a
// member with findings must be readable as a file for as long as it is
// listed. Rather than keeping every such member unpacked (the whole archive
// again on disk), the store keeps at most as many bytes unpacked as the
// largest member it has seen (the member being read always stays): a member
// scanned without findings is deleted at once, and before the next member is
// unpacked, the ones used longest ago are let go until it fits beside the
// rest (all of them when its header does not state its size; files being
// read stay until they are given back). A member that was let
// go is unpacked again, from its archive, when the extraction asks for it
// (the archive must not have changed meanwhile). A single compressed
// mailbox is thus unpacked once and kept; a large archive of many messages
// is read one more time, front to back, when its outputs are extracted in
// the order they were found.
//
// Files are wiped and deleted when their input leaves the list, when they
// are let go, and when the store ends; a file being read (a lease is held)
// is never touched until it is given back. Thread-safe: extraction workers
// read members beside each other.
#pragma once

#include "model/unpacked_inputs.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zarvex {

class ArchiveStore final : public UnpackedInputs
{
public:
    explicit ArchiveStore(std::string workingDir);
    ~ArchiveStore() override;
    ArchiveStore(const ArchiveStore&) = delete;
    ArchiveStore& operator=(const ArchiveStore&) = delete;

    struct Member
    {
        std::string name;        // as shown: "ARCHIVE/PATH/IN/ARCHIVE" or the compressed file
        std::string source;      // the archive or compressed file (normalised path)
        std::int64_t entry = -1; // its header's index in the archive
        std::string pathInArchive;
        std::int64_t size = 0;
        std::string temp; // the unpacked file
    };
    // Before a member of `size` bytes (-1: not known) is unpacked: the files
    // kept unpacked are cut back so that it fits the budget beside them.
    void MakeRoom(std::int64_t size);
    // A member just unpacked into `member.temp` (the store now owns the file).
    void Add(Member member);
    // After a member's scan: the files kept unpacked are cut back to the
    // budget (`keep` stays).
    void Settle(const std::string& keep);

    bool Holds(const std::string& name) const override;
    Opened Open(const std::string& name, FileError* error) override;
    std::string SourceOf(const std::string& name) const override;
    void Forget(const std::string& name) override;
    void ForgetAll() override;

    // For tests: the bytes kept unpacked now, and how often a member was unpacked again.
    std::int64_t ResidentBytes() const;
    int Reunpacks() const;

    struct State;

private:
    std::shared_ptr<State> m_State;
};

} // namespace zarvex
