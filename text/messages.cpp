#include "text/messages.h"

#include "text/display_text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zarvex {
namespace {

// Colour markers, written as the marker byte followed by RRGGBB.
#define RED "\xFD" "800000"
#define GREEN "\xFD" "008000"
#define BLACK "\xFD" "000000"

constexpr std::pair<int, std::string_view> kMessages[] = {
    {100, "Duplicate file!\r\nThis file has already been processed."},
    {101, "No recognized encoded data or messages found in %1"},
    {102, "Processing file %1..."},
    {103, "Verify creation of the new directory:\r\n %1"},
    {104, "Could not create directory:\r\n %1"},
    {105, "No files match the specified filename pattern."},
    {106, "Invalid filename pattern entered."},
    {109, "UUencoded data"},
    {110, "Base64 encoded data"},
    {111, "XXencoded data"},
    {112, "Quoted-Printable data"},
    {113, "BinHex4 encoded data"},
    {114, "Text data"},
    {116, "Insufficient memory to complete operation!"},
    {117, "yEncoded data"},
    {119, "BNews encoded data"},
    {120, "Extracting file %1..."},
    {121, "Can not extract file.\r\nMissing start of file information. Perhaps all pieces have not been input?"},
    {123, "Error extracting file!"},
    {124, "About to execute an unknown application. This is a good way to catch a virus!\r\nAre you sure you "
          "want to do this?"},
    {125, "Failed to launch application."},
    {127, "The selected directory is Read-Only. Choose a directory with  Read/Write access!"},
    {128, "(None)"},
    {129, "Subject: "},
    {130, "Filename: "},
    {131, "Encoding: "},
    {132, "Message Type: "},
    {133, "Parts: %1 found, %2 expected"},
    {134, "Missing Parts: "},
    {135, "(Unknown)"},
    {136, "Message Starts: %1 Ends: %2"},
    {137, "Continue waiting for launched application: %1 ?"},
    {139, "Operation Aborted!"},
    {140, "Recursively scanning file..."},
    {141, "Possible recursively encoded file detected. Decode it?"},
    {142, "Output filenames differ, file %1 added to Clipboard file."},
    {143, "Multiple recursive files detected, data added to Clipboard file."},
    {144, "Too many nested messages. (MAX 4)  You must extract this file again to continue recursive decoding."},
    {145, "Original filename:"},
    {148, "Do you want to stream decode the existing files too?"},
    {149, "    Group: %1 of %2"},
    {151, "Face PNG data"},
    {153, "Validating files..."},
    {154, "Newsgroups: "},
    {155, "Posted: "},
    {300, RED "*Error decoding line %1 of " BLACK "%2," RED},
    {301, " long line" BLACK},
    {302, " short line" BLACK},
    {304, " invalid characters " BLACK},
    {305, "(%1 more errors.)" BLACK "\r\n"},
    {306, "\t" RED "Short file" BLACK "\r\n"},
    {307, "\tPossible short file" BLACK "\r\n"},
    {308, "\tNo data written, empty file removed." BLACK "\r\n"},
    {309, "\tPossible missing End Of Line @ %1 of %2, correcting..." BLACK "\r\n"},
    {310, "\t" RED "Unexpected End Of File." BLACK "\r\n"},
    {311, "\t" RED "End not found, short file." BLACK "\r\n"},
    {312, "\tInvalid CRC, file corrupt!" BLACK "\r\n"},
    {313, "\tDuplicate \".\" detect on line %1 of %2, corrected?" BLACK "\r\n"},
    {314, "Monitored file unexpectedly changed!"},
    {315, "\tunexpected data --file probably corrupted." BLACK},
    {316, RED " (Part %1 of %2 "},
    {317, RED " (Part %1"},
    {318, ", trying alternate part instead." BLACK},
    {319, " part fails CRC check. Data corrupted." BLACK},
    {320, "part does not match specified size." BLACK},
    {321, "File fails CRC check. Data corrupted." BLACK},
    {322, RED "*File corrupted; missing YENC footer." BLACK},
    {330, GREEN "Extracting %1 as file %2" BLACK "\r\n"},
    {331, "Processing file %1...\r\n"},
    {332, "Continue processing  %1...\r\n"},
    {333, "\tfound %1 (%2)\r\n"},
    {334, "File associations removed and/or restored.  Zarvex32 may be deleted."},
    {336, "\tDuplicate part detected --dropping %1 part.\r\n"},
    {337, "newer"},
    {338, "existing"},
    {339, "Unusually long lines detected. Attemping to restore missing End Of Lines.\r\n "},
    {341, "\tNot discarding duplicate part.\r\n"},
    {342, "Decoding binhex data..."},
    {344, "Trying next duplicate part to correct errors..."},
    {345, "Ready"},
    // The program's own notes about outputs it did not write or replace.
    {350, "\t" RED "%1 was not written: a write failed. A file of that name keeps its old content." BLACK "\r\n"},
    {351, "\t" RED "%1 was not replaced: the new output is damaged. The existing file keeps its content." BLACK "\r\n"},
    {352, "\t" RED "%1 skipped: the file exists." BLACK "\r\n"},
    {353, "\t" RED "%1 skipped: it is one of the input files." BLACK "\r\n"},
    {354, RED "Cannot read %1: %2" BLACK},
    {355, "\t" RED "%1 skipped: parts are missing." BLACK "\r\n"},
    {356, "\t" RED "%1 skipped: an earlier output of this run has that name." BLACK "\r\n"},
    {357, "\t" RED "%1 written as %2: an earlier output of this run has that name." BLACK "\r\n"},
    {358, "\t" RED "%1 is incomplete: %2." BLACK "\r\n"},
    {359, "\t" RED "%1 was not replaced: the new output is damaged. It is written as %2." BLACK "\r\n"},
    {360, "\t%1 unpacked from %2.\r\n"},
    {361, "\t" RED "%1 holds damaged TNEF data: only the files before the damage are unpacked." BLACK "\r\n"},
    {362, "\t" RED "%1 was not unpacked: TNEF files are nested too deeply (MAX 4)." BLACK "\r\n"},
    {363, "\t%1 removed: every file it held was unpacked.\r\n"},
    {364, RED "%1: unpacking stopped at the limit of %2 MB (preference ArchiveLimitMB); the rest is not read." BLACK "\r\n"},
    {365, RED "%1 skipped: it is encrypted." BLACK "\r\n"},
    {366, RED "%1 skipped: %2" BLACK "\r\n"},
    {367, RED "%1 cannot be read further: %2" BLACK "\r\n"},
    {400, "No error occurred"},
    {401, "An unspecified error occurred."},
    {402, "The file could not be located."},
    {403, "All or part of the path is invalid."},
    {404, "The permitted number of open files was exceeded."},
    {405, "Access denied."},
    {406, "Invalid file handle."},
    {407, "The current working directory cannot be removed."},
    {408, "The directory is full."},
    {409, "There was an error trying to set the file pointer."},
    {410, "hardware I/O error."},
    {411, "sharing violation"},
    {412, "lock violation"},
    {413, "The disk is full!"},
    {414, "End of file reached."},
    {415, "Unknown"},
    {416, "File Error: "},
    // The file types of the Open dialog: description and patterns, in pairs.
    {40043, "Encoded Files (*.UU,XX,B64,HQX,NTX)|*.UU;*.UUE;*.XXE;*.MM;*.MIM;*.B64;*.hqx;*.NTX|All Files (*.*)|*.*|"
            "Mail Files (*.EML,MBX,MSG)|*.EML;*.MBX;*.MBOX;*.MSG|News Files (*.NWS)|*.NWS|"
            "yEncoded Files (*.YNC,NTX)|*.YNC;*.NTX|BinHex Files (*.HQX)|*.HQX|MIME Files (*.MIM,MME)|*.MIM;*.MME|"
            "Text Files (*.TXT)|*.TXT|"},
};

#undef RED
#undef GREEN
#undef BLACK

constexpr bool IsSortedById()
{
    for (std::size_t i = 1; i < std::size(kMessages); ++i)
        if (kMessages[i - 1].first >= kMessages[i].first) return false;
    return true;
}
static_assert(IsSortedById(), "message table must be sorted by id");

constexpr bool HasText(int id)
{
    for (const auto& entry : kMessages)
        if (entry.first == id) return !entry.second.empty();
    return false;
}

constexpr bool EveryNamedIdHasText()
{
    for (const msg::Id id : msg::kAll)
        if (!HasText(id)) return false;
    return true;
}
static_assert(EveryNamedIdHasText(), "every id in message_ids.h needs a row in the table");

} // namespace

std::string_view Message(msg::Id id)
{
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const auto& entry, int key) { return entry.first < key; });
    if (it == std::end(kMessages) || it->first != id) return {};
    return it->second;
}

std::string FormatTemplate(std::string_view tmpl, std::string_view arg1, std::string_view arg2)
{
    std::string out;
    out.reserve(tmpl.size() + arg1.size() + arg2.size());
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] == '%' && i + 1 < tmpl.size() && (tmpl[i + 1] == '1' || tmpl[i + 1] == '2')) {
            out += tmpl[i + 1] == '1' ? arg1 : arg2;
            ++i;
        } else {
            out += tmpl[i];
        }
    }
    return out;
}

std::string FormatMessage(msg::Id id, std::string_view arg1, std::string_view arg2)
{
    // Arguments are shown as text: converted to UTF-8, which never holds the
    // marker byte, so a name with a 0xFD byte cannot change the log colour,
    // and with control characters escaped, so it cannot add lines either.
    return FormatTemplate(Message(id), ToShownText(arg1), ToShownText(arg2));
}

std::string_view FileErrorText(int cause)
{
    if (cause < 0 || cause > msg::FileErrorEndOfFile - msg::FileErrorNone) return Message(msg::FileErrorUnknown);
    return Message(static_cast<msg::Id>(msg::FileErrorNone + cause));
}

} // namespace zarvex
