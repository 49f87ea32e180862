// BinHex 4.0: the character tests, the CRC, and a streaming decoder that
// takes the characters after the opening ":" in pieces of any size and
// writes one fork of the file.
//
// The stream has three stages: 6-bit characters to bytes (four characters
// make three bytes), the run-length expansion (0x90 is the repeat marker),
// and the file structure (header, data fork, resource fork, each followed
// by its CRC). The larger fork becomes the output; equal lengths take the
// resource fork. Nothing allocates per byte; a header can never make the
// decoder write more bytes than the stream carries.
#pragma once

#include "codec/tables.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zarvex {

class CBufFile;

// CRC-16/XMODEM: polynomial 0x1021, most significant bit first, preset 0.
// Continues `crc` over `n` bytes. Equal to the BinHex form that runs the CRC
// over the bytes and two zero bytes.
std::uint16_t Crc16Xmodem(std::uint16_t crc, const unsigned char* data, std::size_t n);

// An alphabet character, ":" or "#".
inline bool IsBinHexChar(unsigned char c)
{
    return kBinHexDecode[c] != kInvalid || c == ':' || c == '#';
}

// Results of DecodeBinHexFile and BinHexDecoder::Finish.
enum BinHexResult : int
{
    HQX_DATA_FORK = 1,     // the data fork was written
    HQX_RESOURCE_FORK = 2, // the resource fork was written
    HQX_BAD_HEADER = 0,    // no ":" at the start, or the header is cut short or fails its CRC
    HQX_END_OF_FILE = -1,  // the stream ended inside a fork
    HQX_BAD_CRC = -2,      // a fork failed its CRC
};

struct BinHexHeader
{
    std::string name; // the first 63 bytes of the stored name
    unsigned char version = 0;
    std::array<char, 4> type{};
    std::array<char, 4> creator{};
    std::uint16_t flags = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t resourceLength = 0;
};

class BinHexDecoder
{
public:
    // `out` receives the chosen fork (null: decode and check only).
    explicit BinHexDecoder(CBufFile* out) : m_Out(out) {}

    // Characters of the stream; the first one outside the alphabet (the
    // closing ":") ends it, and everything after that is ignored.
    void Feed(const char* text, std::size_t n);
    // Ends the stream (a short final group gives its bytes) and tells the result.
    int Finish();

    // The first bytes of the chosen fork also go to `dest` (at most `max`).
    void SetSample(unsigned char* dest, int max)
    {
        m_Sample = dest;
        m_SampleMax = max;
    }
    int SampleFill() const { return m_SampleFill; }

    bool HeaderRead() const { return m_Phase > Phase::HeaderCrc; }
    const BinHexHeader& Header() const { return m_Header; }
    // The bytes of the stored name decoded so far (all of it once the header is read).
    std::string NameSoFar() const;
    // Bytes of the chosen fork written so far.
    std::uint64_t Written() const { return m_Written; }

private:
    enum class Phase { NameLength, Header, HeaderCrc, Fork, ForkCrc, Done };

    std::size_t FeedForkGroups(const char* text, std::size_t n);
    void TakeForkBytes(const unsigned char* bytes, std::size_t n);
    void PutSextet(unsigned value);
    void PutExpanded(unsigned char byte);
    void PutByte(unsigned char byte);
    void HeaderByte(unsigned char byte);
    void EndHeader();
    void StartFork(int fork);
    void EndFork();

    CBufFile* m_Out;
    // 6-bit stage.
    bool m_StreamEnded = false;
    unsigned m_Group = 0;
    int m_GroupChars = 0;
    // Run-length stage.
    bool m_AfterMarker = false;
    unsigned char m_Last = 0;
    // Structure stage.
    Phase m_Phase = Phase::NameLength;
    int m_Result = HQX_BAD_HEADER;
    std::uint16_t m_Crc = 0;
    std::uint16_t m_StoredCrc = 0;
    int m_CrcBytes = 0;
    std::array<unsigned char, 256 + 19> m_HeaderBytes{};
    int m_HeaderSize = 0; // bytes of the header after the name length
    int m_HeaderFill = 0;
    BinHexHeader m_Header;
    int m_Fork = 0;            // 0 data, 1 resource
    int m_ChosenFork = 1;
    std::uint64_t m_ForkLeft = 0;
    std::uint64_t m_Written = 0;
    unsigned char* m_Sample = nullptr;
    int m_SampleMax = 0;
    int m_SampleFill = 0;
};

// Decodes the collected characters of the file open as `fd` (from its
// start, which must be ":") into `out`. The file is read through the
// descriptor only, never opened again by name. Result as above; a file that
// cannot be read gives HQX_END_OF_FILE.
int DecodeBinHexFile(int fd, CBufFile& out);

// Replaces `text` (BinHex characters, a leading ":" skipped) by the file
// name at the start of the header it decodes to, trailing white space
// removed. A text starting with "#", or one too short to hold a name, gives
// false and an empty `text`.
bool BinHexHeaderName(std::string& text);

// The first bytes of the fork that would be written (the header skipped),
// for file type detection. Returns the number stored (at most `maxBytes`).
int PeekDecodeBinHex(const char* text, int len, unsigned char* dest, int maxBytes);

} // namespace zarvex
