// The pieces of the MIME rules shared by their files (private to scan/):
// the Content- field rules, the parts they open, and the reading of
// parameter values (continued values, RFC 2231 names, 8-bit names).
#pragma once

#include "scan/scan_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvex::scan {

// ---- mime_fields.cpp --------------------------------------------------------------
void OnContentDisposition(ScanState& s);
void OnContentTransferEncoding(ScanState& s);
void OnContentType(ScanState& s);
// The parameters of a Content-Type/-Disposition line and of its continuation lines.
Next OnContentParameters(ScanState& s);
// A body part that begins with a blank line has no header: it is plain
// text (RFC 2046), and becomes a text part from the next line on.
void OpenHeaderlessTextPart(ScanState& s);

// ---- mime_hooks.cpp ----------------------------------------------------------------
// Reads ahead from the current position (restored afterwards) to the closing
// boundary "--" boundary "--"; returns the number of "Subject:" lines met on
// the way and sets `closingOffset` to the bytes read up to the closing line
// (-1 when it was not found). The read-ahead also stops at a mailbox "From "
// separator (a new message cannot lie inside this one) and when the scan's
// read-ahead allowance is spent.
std::int32_t MimeBoundaryScan(ScanState& s, std::int64_t& closingOffset);
// "--" boundary "--" (trailing white space allowed).
bool IsClosingBoundary(const CMimeInfo& mime, std::string_view line);
// A new boundary replaced `enclosing`: the enclosing one is kept to end the
// nested body.
void EncloseBoundary(ScanState& s, const std::string& enclosing);

// ---- mime_names.cpp ----------------------------------------------------------------
// A header field may run over many folded lines (Outlook folds inside
// quoted names and boundaries); at most this much of it is kept.
inline constexpr std::size_t kFieldCap = 16 * 1024;
// The current line and the lines that continue it (those that begin with a
// blank or a tab) become s.field; the continuation lines are taken from the
// file and count into the line's consumed bytes.
void UnfoldField(ScanState& s);
// The value after `name` ("ilename=", "name=", "boundary=") found at `at` in
// the field; blanks before it are skipped.
std::string_view ValueAt(const ScanState& s, std::size_t at, std::size_t nameLength);
// Joins the next line, whatever it begins with, to the field (a quoted
// value left open by a program that did not fold its header).
bool JoinNextLine(ScanState& s);
// A name as the header gave it, made UTF-8: valid UTF-8 stays, other bytes
// are read in `charset` when one is given, else as Windows-1252.
std::string NameToUtf8(std::string_view name, std::string_view charset);
// RFC 2231 parameters ("filename*=", "name*0*=", ...) of the line are
// collected; true when they give a complete name, stored in `name`.
bool CollectRfc2231Name(ScanState& s, std::string& name);
// The value of the RFC 2231 form of `parameter` ("boundary*=us-ascii''b%20x",
// "boundary*0=", ...) in `field`; empty when there is none.
std::string Rfc2231Parameter(std::string_view field, std::string_view parameter);

} // namespace zarvex::scan
