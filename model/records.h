// The records of what was found and what will be written:
//   CFInfo     one found part (a section at a known place in one input file),
//   CSortInfo  one output file: its parts in output order,
//   MyCObArray the sort list: all output files plus the scanned inputs,
//   CMimeInfo  the header state of the message being scanned.
#pragma once

#include "io/file_identity.h"
#include "model/data_types.h"
#include "platform/object.h"
#include "text/ascii.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace zarvex {

class CBufFile;
class Host;
class UnpackedInputs;
struct Settings;

// Part flags (`CFInfo::m_Flags`).
enum PartFlag : std::uint32_t {
    PF_RENAME = 0x1,     // the name collides and must be made unique at evaluation
    PF_RETYPE = 0x2,     // the name must get its type's extension at evaluation
    PF_OPENBUF = 0x4,    // m_pBuf holds an open buffer owned by this part
    PF_WRITTEN = 0x8,    // the extraction engine wrote this part out
    PF_CHECKFAIL = 0x20, // the check pass's trial run returned "incomplete"
    PF_CUTOFF = 0x80,    // the latest extraction met no end of this part's data (trailer, boundary)
    PF_LOWBITS = 0x3F,
};

// Status bits shared by parts and groups above the low nibble.
inline constexpr std::int32_t ST_DATAERROR = 0x20;    // damaged data met while decoding
inline constexpr std::int32_t ST_NOTEXTRACTED = 0x40; // skipped, or the output could not be opened
// Written, but without all its posting announces: parts missing, the data
// cut off before their end, fewer bytes than the header gives.
inline constexpr std::int32_t ST_INCOMPLETE = 0x80;

// Group status (low four bits of `CSortInfo::m_Status`, `GS_MASK`).
inline constexpr std::int32_t GS_MASK = 0xF;
inline constexpr std::int32_t GS_CHANGED = 0; // to be evaluated
inline constexpr std::int32_t GS_STARTED = 1; // started but not finished
inline constexpr std::int32_t GS_COMPLETE = 2;
inline constexpr std::int32_t GS_TOO_MANY = 3;
inline constexpr std::int32_t GS_MISSING = 4;

class CMimeInfo;

// The outcome of one check on a part's data in its latest extraction.
enum class CheckResult : std::uint8_t { NotChecked, Passed, Failed };

// Records a check; a failure met earlier in the same extraction stays.
inline void NoteCheck(CheckResult& result, bool passed)
{
    if (result != CheckResult::Failed) result = passed ? CheckResult::Passed : CheckResult::Failed;
}

class CFInfo : public CObject {
public:
    CFInfo();
    // Copies every field except m_MsgType, m_Flags, the check results,
    // m_pNextDup and the serial number; shares m_pBuf without owning it.
    CFInfo(const CFInfo& other);
    CFInfo& operator=(const CFInfo&) = delete;
    ~CFInfo() override;
    const char* GetRuntimeClass() const override { return "CFInfo"; }

    void SetFromMime(const CMimeInfo& mime);
    void SwapNumbers();
    // Reconciles the subject's numbers with those the data states (yEnc part=/total=).
    bool FixNumbersFromData(int dataPart, int dataTotal);

    const std::string& GetFile() const { return m_File; }
    const std::string& GetSubject() const { return m_Subject; }
    const std::string& GetFullSubj() const { return m_FullSubj; }
    const std::string& GetDestFile() const { return m_DestFile; }
    const std::string& GetPartialID() const { return m_PartialID; }
    const std::string& GetCharset() const { return m_Charset; }
    const std::string& GetFrom() const { return m_From; }
    const std::string& GetNewsgroups() const { return m_Newsgroups; }
    std::int64_t GetTime() const { return m_Time; }

    bool IsUtf7() const { return EqualsIgnoreCase(m_Charset, "utf-7"); }
    bool IsUtf8() const { return EqualsIgnoreCase(m_Charset, "utf-8"); }
    void SetCharset(std::string_view value);
    bool SetBuffer(CBufFile* buf)
    {
        m_pBuf = buf;
        return true;
    }
    void SetFlag(std::uint32_t bits) { m_Flags |= bits; }
    void ClearFlag(std::uint32_t bits) { m_Flags &= ~bits; }
    bool TestFlag(std::uint32_t bits) const { return (m_Flags & bits) != 0; }
    bool SetDataEnd(std::int64_t pos);
    void AddDuplicate(CFInfo* dup);
    bool IsSamePart(const CFInfo& other) const;
    bool IsSameFile(const CFInfo& other) const;
    // Releases and closes the owned buffer, if any.
    void ReleaseBuffer();

    std::string m_File;
    std::string m_Subject;
    std::string m_FullSubj;
    std::string m_DestFile;
    std::string m_OrigName;
    std::string m_PartialID;
    std::string m_Charset;
    std::string m_From;
    std::string m_Newsgroups;
    std::int32_t m_Part = -1;
    std::int32_t m_Total = -1;
    std::int32_t m_Group = -1;
    std::int32_t m_GroupTotal = -1;
    std::int32_t m_yTotal = -1;
    std::int32_t m_yPart = -1;
    std::int32_t m_Swapped = 0;
    std::int32_t m_AltNumbers = 0;
    std::int32_t m_Starts = 0;
    std::int32_t m_Ends = 0;
    std::int32_t m_Indent = 0;
    std::int64_t m_StartLine = 0;
    std::int64_t m_SPos = 0;
    std::int64_t m_EPos = 0;
    std::int64_t m_EndLine = 0;
    std::int64_t m_ByteStart = -1;
    std::int64_t m_Length = 0;
    std::uint32_t m_MsgType = 0;
    std::int32_t m_DataType = 0;
    std::uint32_t m_Flags = 0;
    std::int64_t m_Time = 0; // seconds since 1970
    std::int64_t m_yEndSize = 0;
    std::int64_t m_ySize = 0;
    std::uint32_t m_yPartCrc = 0;
    std::int64_t m_yBegin = -1;
    std::int64_t m_yEnd = -1;
    std::int32_t m_yLine = 0;
    std::int32_t m_Status = 0;
    // A text part that is an attachment sent without encoding (its headers
    // name it or give a type other than text): its body is written byte
    // for byte, not as message text.
    bool m_Verbatim = false;
    // The name was made up because the posting's first part (which names
    // the file) is absent; it gives way when that part arrives.
    bool m_NameStandIn = false;
    // The data checks of the latest extraction: a CRC (yEnc part or file
    // CRC, BinHex CRCs) and the length a yEnc trailer states.
    CheckResult m_CrcCheck = CheckResult::NotChecked;
    CheckResult m_SizeCheck = CheckResult::NotChecked;
    CBufFile* m_pBuf = nullptr;          // owned while PF_OPENBUF is set
    std::unique_ptr<CFInfo> m_pNextDup;  // inactive duplicates of this part
    std::int32_t m_ID;

    // The next serial number without taking it (for tests and the dump).
    static std::int32_t PeekNextSerial();
};

class CMimeInfo : public CObject {
public:
    CMimeInfo() { Reset(); }
    const char* GetRuntimeClass() const override { return "CMimeInfo"; }

    // Empties every text; part, total, group and group total -1; other numbers 0.
    void Reset();
    // Parameter values: a quoted value runs to its closing quote, an unquoted
    // one to white space; both stop at NUL, LF or ";". The first three return
    // -1 when a quoted value continues on the next line, else 1.
    int SetFileName(std::string_view value, bool stripPath);
    int SetPartialID(std::string_view value);
    int SetBoundary(std::string_view value);
    void SetCharset(std::string_view value);
    // True when the line starts with the boundary, at once or after two characters.
    bool IsBoundary(std::string_view line) const;

    std::string m_PartialID;
    std::string m_FileName;
    std::string m_Boundary;
    std::string m_Subject;
    std::string m_FullSubj;
    std::string m_Charset;
    std::string m_From;
    std::string m_Newsgroups;
    std::int32_t m_Part = -1;
    std::int32_t m_Total = -1;
    std::int32_t m_Group = -1;
    std::int32_t m_GroupTotal = -1;
    std::uint32_t m_MsgType = 0;
    std::int32_t m_DataType = 0;
    std::int32_t m_Swapped = 0;
    std::int32_t m_AltNumbers = 0;
    std::int64_t m_SPos = 0;
    std::int64_t m_StartLine = 0;
    std::int64_t m_Time = 0;
    std::int32_t m_bMultipart = 0;
    std::int32_t m_bPartial = 0;
};

class MyCObArray;
class GroupIndex;

class CSortInfo : public CObject {
public:
    CSortInfo() = default;
    ~CSortInfo() override = default;
    CSortInfo(const CSortInfo&) = delete;
    CSortInfo& operator=(const CSortInfo&) = delete;
    const char* GetRuntimeClass() const override { return "CSortInfo"; }

    // The elements: the parts of the output file in output order (owned).
    int GetSize() const { return static_cast<int>(m_Parts.size()); }
    CFInfo* GetAt(int i) const { return m_Parts[static_cast<std::size_t>(i)].get(); }
    CFInfo* operator[](int i) const { return GetAt(i); }
    void InsertAt(int i, CFInfo* part);
    void Append(CFInfo* part) { InsertAt(GetSize(), part); }
    // Takes element `i` out of the array and hands ownership to the caller.
    CFInfo* RemoveAt(int i);
    // Puts `part` in slot `i` and returns the part that stood there (not deleted).
    CFInfo* ReplaceAt(int i, CFInfo* part);

    void Init(CFInfo* first);
    int AddPart(CFInfo* part, MyCObArray& list);
    void RebuildNames(bool noAutoRename);
    int IndexOfName(std::string_view name) const;
    int ReplaceName(std::string_view oldName, std::string_view newName);
    int IndexOfPart(const CFInfo* part) const;
    int IndexOfNamed(const CFInfo* part) const;
    int IndexOfOrigName(std::string_view name) const;
    // An element (not a duplicate) was first given the name `name` (exactly).
    bool HoldsOrigName(const std::string& name) const { return m_OrigNames.count(name) != 0; }
    int IndexOfFullSubj(std::string_view text) const;
    int FindFlag(std::uint32_t bits, int from) const;
    void ClearFlagAll(std::uint32_t bits);
    CFInfo* FirstPartFor(std::string_view name) const;
    bool RenameAll(CFInfo* part, std::string_view newName);
    bool ReleaseBuffers(CBufFile* buf, bool all, std::uint32_t bits);
    std::int64_t DataLength(int from) const;
    void Clear();
    bool HasName(std::string_view name) const { return m_Names.find(name) != m_Names.end(); }
    // The list colour as 0xBBGGRR.
    std::uint32_t StatusColour() const;

    std::string m_Subject;
    std::string m_PartialID;
    std::int32_t m_Expected = 0;
    std::int32_t m_Found = 0;
    std::int32_t m_Status = 0;
    std::int32_t m_ExtractMark = 0;
    std::int32_t m_KeptOld = 0;
    std::int32_t m_TookNew = 0;
    std::int32_t m_Group = -1;
    std::int32_t m_GroupTotal = -1;
    std::vector<CFInfo*> m_Named;                  // not owned
    mutable std::size_t m_NamedHint = 0;           // where IndexOfNamed found a part last
    mutable int m_PartHint = 0;                    // where IndexOfPart found a part last
    std::multiset<std::string, CaseLess> m_Names;
    // Where the last duplicate of a name was kept (the grouping's shortcut
    // for a run of thousands of equal names): the run's first index, the
    // index after it, and the group size then. Valid only while the size is
    // the one recorded.
    struct NameRun
    {
        int first = -1, end = -1, size = -1;
    } m_LastRun;

private:
    void CountOrigName(const CFInfo* part, int step);

    std::vector<std::unique_ptr<CFInfo>> m_Parts;
    // How many elements carry each first-given name, so that an arriving
    // part of a new name need not be compared with every element.
    std::unordered_map<std::string, int> m_OrigNames;
};

// Puts `part` in `element`'s place in group.m_Named (dropping an entry `part`
// had elsewhere); false when `element` is not listed.
bool ReplaceNamed(CSortInfo& group, const CFInfo* element, CFInfo* part);

struct RenameMemo;

class MyCObArray : public CObject {
public:
    // The sort list reads the settings (a reference: later changes apply) and
    // logs through the host when one is given.
    explicit MyCObArray(const Settings& settings, Host* host = nullptr);
    ~MyCObArray() override;
    MyCObArray(const MyCObArray&) = delete;
    MyCObArray& operator=(const MyCObArray&) = delete;
    const char* GetRuntimeClass() const override { return "MyCObArray"; }

    int GetSize() const { return static_cast<int>(m_Groups.size()); }
    CSortInfo* GetAt(int i) const { return m_Groups[static_cast<std::size_t>(i)].get(); }
    CSortInfo* operator[](int i) const { return GetAt(i); }
    // Appends a new group and returns it.
    CSortInfo* NewGroup();
    void RemoveGroupAt(int i);

    int FindGroup(const CFInfo& part);
    // The plain walk over every group in list order; FindGroup answers the
    // same through an index of subjects.
    int FindGroupLinear(const CFInfo& part);
    // Makes the next lookup rebuild its index of subjects, names and input
    // positions. Needed after a group's subject or names (m_Names) were
    // changed, or groups were replaced, other than through AddPart, Evaluate,
    // RemovePartsOf, RemoveInputFile and RemoveAll.
    void InvalidateGroupIndex();
    int AddPart(CFInfo* part);
    void Evaluate();
    CFInfo* FindPartAt(const std::string& inputPath, std::int64_t pos, int* group, int* index, int* depth) const;
    int FindNameInGroups(std::string_view name, int after) const;
    std::uint32_t GuessEncoding(const CFInfo& part);

    int AddInputFile(const std::string& path);
    bool RemoveInputFile(const std::string& path);
    // Removes the parts that came from `path`, inactive duplicates included;
    // with `from` zero or more, only those that reach past byte `from` of it
    // or start there.
    void RemovePartsOf(const std::string& path, std::int64_t from = -1);
    void RenameInputFile(const std::string& oldPath, const std::string& newPath);
    void RemoveAll();

    const Settings& GetSettings() const { return m_Settings; }
    Host* GetHost() const { return m_Host; }
    void SetHost(Host* host) { m_Host = host; }

    // Input paths compare exactly (they are the bytes the file system gave).
    std::set<std::string> m_InputNames;
    // Every file given to AddInputFile, with findings or without, by
    // identity: no output, log or report may replace one of them. Kept
    // until RemoveAll.
    FileIdentitySet m_RunInputs;
    std::int32_t m_NextFileNumber = 1;
    // The last number a text message name took after each stem ("message1",
    // in lower case), so that many nameless messages are numbered in
    // linear time. Until RemoveAll.
    std::unordered_map<std::string, int> m_MessageNumbers;
    // Set while the groups and their parts stay in place and names are only
    // ever added (the renaming of Evaluate): what MakeName keeps between calls.
    RenameMemo* m_RenameMemo = nullptr;
    // The inputs unpacked from archives and compressed files (none until
    // the first): their temporary files go when their input leaves the list.
    std::shared_ptr<UnpackedInputs> m_Unpacked;

private:
    struct GroupIndexDeleter {
        void operator()(GroupIndex* index) const;
    };
    // Group lookup: the shared rule, over the index or over every group.
    // `renameHint`: the part is to be renamed; `wholeFiles`: the groups of
    // other files posted in the part's own message (see grouping.cpp).
    int FindGroupImpl(const CFInfo& part, bool useIndex, bool* renameHint, std::vector<int>* wholeFiles = nullptr);
    // Keeps the index in step: a part about to enter `group`, or (null) a
    // group that was created or changed its subject.
    void NoteGroupChange(int group, const CFInfo* part);
    // A part that NoteGroupChange announced has entered `group`: only the
    // group's subject may be new (its names are filed already).
    void NoteSubjectChange(int group);
    // The steps of AddPart: text messages, re-scanned parts, joining a group.
    int AddTextMessage(CFInfo* part);
    int ReplaceRescannedPart(std::unique_ptr<CFInfo>& part);
    int JoinGroup(CFInfo* part, const std::string& broughtName);

    const Settings& m_Settings;
    Host* m_Host;
    std::vector<std::unique_ptr<CSortInfo>> m_Groups;
    std::unique_ptr<GroupIndex, GroupIndexDeleter> m_Index;
};

} // namespace zarvex
