// The group decoding shared by the UU and XX line codecs. Private to them.
#pragma once

#include "codec/line_sink.h"
#include "codec/tables.h"

namespace zarvex::detail {

using DecodeTable = std::array<unsigned char, 256>;

struct GroupsDecoded
{
    int end = 1;          // offset just after the last group
    bool invalid = false; // a character outside the alphabet took part
    unsigned byteSum = 0; // sum of the decoded bytes (a checksum candidate); set only
                          // when characters follow the groups (end < len)
};

// Decodes `n` bytes from the 4-character groups that follow the count
// character. Characters at or past `len` are not read: they take the value
// `missing`. Invalid characters keep their table value, so the output keeps
// its length whatever the line holds.
// The kernel for the whole groups of DecodeGroups: the best this CPU has,
// or the scalar loop alone (tests and fuzz targets force it to compare).
enum class SixBitKernel
{
    Best,
    Scalar,
};
GroupsDecoded DecodeGroups(const unsigned char* s, int len, int n, const DecodeTable& table,
                           unsigned char missing, LineSink& sink, SixBitKernel kernel = SixBitKernel::Best);
// The same, one group at a time: the reference the fast path above is
// tested against.
GroupsDecoded DecodeGroupsPlain(const unsigned char* s, int len, int n, const DecodeTable& table,
                                unsigned char missing, LineSink& sink);

// The vector kernel for UU groups: decodes whole groups s[0, 4 * groups)
// into out[0, 3 * groups) while they hold only UU characters, and returns
// how many it decoded (0 on CPUs without the instructions it needs). It
// writes exactly 3 bytes per decoded group.
int DecodeUUGroupsFast(const unsigned char* s, int groups, unsigned char* out);

// A full UU line's 60 data characters s[0, 60) (after its count "M")
// decoded into out[0, 45) when all of them are UU characters; false when
// one is not (out then holds scratch). The widest kernel this CPU has
// (AVX2, SSSE3, then the table loop); `kernel` Scalar: the table loop alone.
bool DecodeUUFullLine(const unsigned char* s, unsigned char* out, SixBitKernel kernel = SixBitKernel::Best);
// Its AVX2 kernel (the caller checks HaveUUFullLineAvx2).
bool HaveUUFullLineAvx2();
bool DecodeUUFullLineAvx2(const unsigned char* s, unsigned char* out);

// Sum modulo 64 of the table values of s[from, to).
unsigned ValueSum(const unsigned char* s, int from, int to, const DecodeTable& table);

// Peek decoding for file type detection: up to `n` bytes (and `maxBytes`
// when positive) from s[from, to), stopping at the first invalid character.
int PeekGroups(const unsigned char* s, int from, int to, int n, int maxBytes, const DecodeTable& table,
               unsigned char* dest);

} // namespace zarvex::detail
