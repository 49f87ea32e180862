// The Content- header fields of a MIME header block: the transfer encoding
// and the content type decide the encoding and file type of the part to
// come (and open it where the body begins), the disposition and the
// parameters give its name, partial-message numbers, boundary and charset.
#include "model/run_context.h"
#include "model/settings.h"
#include "scan/mime_rules.h"
#include "text/ascii.h"

#include <array>
#include <limits>

namespace zarvex::scan {

namespace {

// A header line in lower case, for the parameter searches: finding a
// lower-case name in it finds what a search ignoring case finds in the line.
class LowerLine
{
public:
    explicit LowerLine(std::string_view line) : m_Text(line)
    {
        for (char& c : m_Text)
            c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
    }
    // The first place of `name` (in lower case) in the line, or npos.
    std::size_t Find(std::string_view name) const { return std::string_view(m_Text).find(name); }

private:
    std::string m_Text;
};

// What a content type does beyond giving its DataType.
enum class TypeEffect : std::uint8_t
{
    None,
    TextPlain,
    TextHtml,
    CountStartUnlessUU, // image/: a begin marker for an open part that is not UU, else a part opens
    CountStart,         // audio/, video/: a begin marker for an open part, else a part opens
    Application,        // opens a part when none is open, then a begin marker
    BinHex,             // application/mac-binhex40
    Multipart,
    AppleDouble,
};

inline constexpr std::int32_t kUnchanged = -1;

struct SubtypeRow
{
    std::string_view subtype; // empty: any other subtype
    std::int32_t dataType;
    TypeEffect effect;
};

struct TypeRow
{
    std::string_view type;
    std::array<SubtypeRow, 21> rows; // in order; the first empty subtype ends the list
};

using E = TypeEffect;
// The Content-Type to DataType table, in the order the types are looked for.
constexpr std::array<TypeRow, 7> kContentTypes = {{
    {"multipart/", {{{"mixed", kUnchanged, E::Multipart}, {"appledouble", DT_APL, E::AppleDouble}, {"", kUnchanged, E::Multipart}}}},
    // Other text types (a script, a calendar, a patch) are text parts too.
    {"text/", {{{"plain", DT_TXT, E::TextPlain}, {"html", DT_HTM, E::TextHtml}, {"", DT_TXT, E::TextPlain}}}},
    {"image/",
     {{{"tiff", 20, E::CountStartUnlessUU},
       {"jpeg", 1, E::CountStartUnlessUU},
       {"gif", 3, E::CountStartUnlessUU},
       {"x-MS-bmp", 6, E::CountStartUnlessUU},
       {"", 0, E::CountStartUnlessUU}}}},
    {"audio/",
     {{{"basic", 36, E::CountStart},
       {"x-wav", 4, E::CountStart},
       {"x-aiff", 14, E::CountStart},
       {"x-voc", 13, E::CountStart},
       {"midi", 8, E::CountStart},
       {"x-mpeg", 15, E::CountStart},
       {"", 0, E::CountStart}}}},
    {"application/",
     {{{"octet-stream", 31, E::Application},
       {"postscript", 11, E::Application},
       {"rtf", 21, E::Application},
       {"mac-binhex40", kUnchanged, E::BinHex},
       {"x-stuffit", 25, E::Application},
       {"x-zip-compressed", 2, E::Application},
       {"x-shar", 26, E::Application},
       {"x-tar", 27, E::Application},
       {"x-gtar", 28, E::Application},
       {"x-compress", 29, E::Application},
       {"x-gzip", 30, E::Application},
       {"zip", 2, E::Application},
       {"applefile", DT_APL, E::Application},
       {"ms-tnef", 45, E::Application},
       {"msword", 43, E::Application},
       {"ms-excel", 43, E::Application},
       {"ms-powerpoint", 43, E::Application},
       {"ms-works", 43, E::Application},
       {"", 32, E::Application}}}},
    {"video/",
     {{{"mpeg", 15, E::CountStart},
       {"x-msvideo", 5, E::CountStart},
       {"quicktime", 19, E::CountStart},
       {"", 35, E::CountStart}}}},
    {"media clip/", {{{"", 0, E::None}}}},
}};
static_assert(kContentTypes[1].rows[0].dataType == DT_TXT && kContentTypes[1].rows[1].dataType == DT_HTM);
static_assert(kContentTypes[4].rows[0].dataType == 31 && kContentTypes[4].rows[18].subtype.empty());
// "application/" of any other subtype.
constexpr const SubtypeRow& kOtherApplication = kContentTypes[4].rows[18];
static_assert(kOtherApplication.dataType == 32 && kOtherApplication.effect == E::Application);

const SubtypeRow& FindSubtype(const TypeRow& type, std::string_view rest)
{
    for (const SubtypeRow& row : type.rows)
        if (row.subtype.empty() || StartsWithIgnoreCase(rest, row.subtype)) return row;
    return type.rows.back(); // not reached: every list ends with an empty subtype
}

bool Contains(std::string_view line, std::string_view word)
{
    return FindIgnoreCase(line, word) != std::string_view::npos;
}

void TakeFrom(CFInfo& part, const CMimeInfo& mime)
{
    part.m_From = mime.m_From;
    part.m_Time = mime.m_Time;
    part.m_Newsgroups = mime.m_Newsgroups;
}

void MimeStartHere(ScanState& s)
{
    s.mime.m_SPos = s.pos;
    s.mime.m_StartLine = s.lineNo;
}

// A part for a MIME body, from the header state; it starts where the MIME header did.
CFInfo& OpenMimePart(ScanState& s)
{
    CFInfo& part = OpenPart(s);
    part.SetFromMime(s.mime);
    part.m_File = s.path;
    part.m_Starts = 1;
    part.m_Ends = 0;
    TakeFrom(part, s.mime);
    if (s.mime.m_Part < 0) {
        s.mime.m_Part = 1;
        part.SetFromMime(s.mime);
    }
    part.m_Subject = s.mime.m_Subject;
    if (s.mime.m_FileName.empty()) part.m_DestFile.clear();
    return part;
}

// The open part is finished with its end before this line.
void FinishBefore(ScanState& s)
{
    EndBeforeLine(s, s.lineNo);
    FinishPart(s);
}

// The effects of a name on the open part. Outside a header block the part
// also takes the message subject and a begin marker.
void NameTheOpenPart(ScanState& s, bool subjectAndMarker)
{
    if (!s.current) return;
    CFInfo& part = *s.current;
    part.m_DestFile = s.mime.m_FileName;
    if (subjectAndMarker) {
        if (part.m_Subject.empty()) part.m_Subject = s.mime.m_Subject;
        if (part.m_Starts == 0) part.m_Starts = 1;
    }
    if (!s.dataSeen) MoveStartHere(s); // never past data already found
    MimeStartHere(s);
}

// "ilename=" or "name=" at `at`: the value (joined with the next line when
// its closing quote is there) becomes the file name, without folders.
void TakeFileName(ScanState& s, std::size_t at, std::size_t nameLength, bool subjectAndMarker)
{
    int result = s.mime.SetFileName(ValueAt(s, at, nameLength), true);
    if (result < 0 && s.binHexState == 0 && JoinNextLine(s))
        s.mime.SetFileName(ValueAt(s, at, nameLength), true);
    s.mime.m_FileName = NameToUtf8(s.mime.m_FileName, s.mime.m_Charset);
    NameTheOpenPart(s, subjectAndMarker);
}

// A decimal value after "number=" or "total=" (a quote allowed); saturates.
std::int32_t NumberAt(const ScanState& s, std::size_t at, std::size_t nameLength)
{
    std::string_view v = ValueAt(s, at, nameLength);
    if (!v.empty() && v[0] == '"') v.remove_prefix(1);
    std::int64_t n = 0;
    std::size_t i = 0;
    for (; i < v.size() && IsAsciiDigit(v[i]); ++i)
        n = std::min<std::int64_t>(n * 10 + (v[i] - '0'), std::numeric_limits<std::int32_t>::max());
    return i == 0 ? 0 : static_cast<std::int32_t>(n);
}

// ---- Transfer encodings ---------------------------------------------------------

void Base64Encoding(ScanState& s)
{
    if (s.current) {
        if (s.dataSeen) {
            FinishBefore(s);
        } else {
            // The body its header declares Base64 begins a file here (a
            // text part's body is no continuation of another file).
            s.current->m_MsgType = MT_B64;
            if (s.current->m_Starts == 0) s.current->m_Starts = 1;
        }
    }
    if (!s.current) {
        s.dataSeen = false;
        s.mime.m_MsgType = MT_B64;
        s.mime.m_DataType = s.mimeDataType;
        MimeStartHere(s);
        if (!s.inHeader) OpenMimePart(s);
    }
    s.mime.m_MsgType = MT_B64;
    s.bodyKind = MT_B64;
    s.encodedBody = true;
}

void UuEncoding(ScanState& s)
{
    s.encodedBody = true;
    if (s.current && s.dataSeen) FinishBefore(s);
    if (s.current) return;
    s.mime.m_MsgType = MT_UU;
    s.dataSeen = false;
    s.mime.m_DataType = s.mimeDataType;
    MimeStartHere(s);
    if (!s.inHeader) OpenMimePart(s);
}

// The yEnc lines open their own part.
void YencEncoding(ScanState& s)
{
    if (!s.current) return;
    if (s.dataSeen && s.PartAge() > 8)
        FinishBefore(s);
    else
        DiscardPart(s);
}

void SevenBit(ScanState& s)
{
    if (s.current && s.dataSeen) {
        FinishBefore(s);
        s.mime.m_SPos = s.pos + s.consumed;
        s.mime.m_StartLine = s.LastLineNo() + 1;
    }
    if (!s.current) {
        if (s.mime.m_MsgType != MT_TXT) return;
        CFInfo& part = OpenMimePart(s);
        part.m_MsgType = MT_TXT;
        part.m_DataType = s.mimeDataType;
        return;
    }
    CFInfo& part = *s.current;
    if (part.m_DataType == 0) part.m_DataType = DT_TXT;
    if (part.m_MsgType == 0) part.m_MsgType = MT_TXT;
    MoveStartHere(s);
    if (s.indentRun > 4) part.m_Indent = s.indent;
}

void QuotedPrintable(ScanState& s)
{
    s.mime.m_MsgType = MT_QP;
    if (s.current) {
        CFInfo& part = *s.current;
        if (part.m_MsgType != 0 && !s.inHeader && s.PartAge() > 5) {
            FinishBefore(s);
        } else {
            part.m_MsgType = MT_QP;
            s.inHeader = true;
            s.checkFirstDataLine = true;
            part.m_Starts = 1;
            if (part.m_DataType == 0) part.m_DataType = DT_TXT;
            s.mimeDataType = 0;
            return;
        }
    }
    CFInfo& part = OpenPart(s);
    part.m_Subject = s.mime.m_Subject;
    part.m_DestFile = s.mime.m_FileName;
    if (s.mimeDataType == 0) s.mimeDataType = DT_TXT;
    part.m_DataType = s.mimeDataType;
    part.m_Part = 1;
    part.m_Total = -1;
    part.m_Starts = 1;
    part.m_Ends = 0;
    part.m_MsgType = MT_QP;
    s.inHeader = true;
    s.checkFirstDataLine = true;
}

// ---- Content types -------------------------------------------------------------

// "text/plain" and "text/html" with "MimeText" on: the text becomes a part.
void OpenTextPart(ScanState& s, std::int32_t dataType)
{
    if (s.current && s.current->m_MsgType != 0 && (s.dataSeen || (!s.inHeader && s.PartAge() >= 3)))
        FinishBefore(s);
    if (!s.current) {
        CFInfo& part = OpenPart(s);
        part.SetFromMime(s.mime);
        part.m_MsgType = MT_TXT;
        part.m_DataType = dataType;
        part.m_Part = s.subjPart;
        part.m_File = s.path;
        part.m_DestFile = s.mime.m_FileName;
        TakeFrom(part, s.mime);
    } else if (s.current->m_MsgType == 0) {
        s.current->m_MsgType = MT_TXT;
    }
    MoveStartHere(s);
    s.bodyKind = MT_TXT;
    s.mimeDataType = dataType;
    s.dataSeen = false;
    s.inHeader = true;
}

// "application/" with no part open: the part opens here, as text until a
// transfer encoding says otherwise.
void OpenApplicationPart(ScanState& s)
{
    s.dataSeen = false;
    CFInfo& part = OpenPart(s);
    part.SetFromMime(s.mime);
    if (part.m_MsgType == 0) {
        part.m_MsgType = MT_TXT;
        part.m_DataType = DT_TXT;
    }
    MoveStartHere(s);
    part.m_File = s.path;
    TakeFrom(part, s.mime);
    if (part.m_Part == 0) {
        part.m_Part = 1;
        part.m_Total = -1;
    }
    if (s.indentRun > 4) part.m_Indent = s.indent;
    // Until an encoding says otherwise, the body is the file itself.
    part.m_Verbatim = true;
}

// A multipart body is no part of its own: a part that a transfer encoding
// of the same header block opened (before the type was read) goes again.
void DropPartOfMultipartHeader(ScanState& s)
{
    s.multipartHeader = true;
    if (s.current && !s.dataSeen && s.current->m_StartLine >= s.mime.m_StartLine && s.mime.m_StartLine > 0)
        DiscardPart(s);
}

void ApplyContentType(ScanState& s, const SubtypeRow& row)
{
    if (row.dataType != kUnchanged) s.mimeDataType = row.dataType;
    switch (row.effect) {
    case E::TextPlain:
    case E::TextHtml:
        if (s.encodedBody) {
            // Encoded text: a file of its type, not a message text.
            if (row.effect == E::TextHtml) s.mime.m_DataType = DT_HTM;
            break;
        }
        s.mime.m_MsgType = MT_TXT;
        MimeStartHere(s);
        if (row.effect == E::TextHtml) s.mime.m_DataType = DT_HTM;
        if (MimeTextInEffect(s.settings, s.run)) OpenTextPart(s, row.dataType);
        break;
    // A body of these types is a file whatever its encoding: sent without
    // one, it is written as it stands.
    case E::CountStartUnlessUU:
        if (!s.current) OpenApplicationPart(s);
        if (s.current->m_MsgType != MT_UU) ++s.current->m_Starts;
        break;
    case E::CountStart:
        if (!s.current) OpenApplicationPart(s);
        ++s.current->m_Starts;
        break;
    case E::BinHex:
        s.mime.m_MsgType = MT_HQX;
        [[fallthrough]];
    case E::Application:
        if (!s.current) OpenApplicationPart(s);
        ++s.current->m_Starts;
        break;
    case E::AppleDouble:
        s.mime.m_bMultipart = 1;
        DropPartOfMultipartHeader(s);
        if (!s.current) {
            s.mime.m_DataType = DT_APL;
            if (s.mime.m_MsgType == MT_TXT) s.mime.m_MsgType = 0;
        }
        break;
    case E::Multipart:
        s.mime.m_bMultipart = 1;
        DropPartOfMultipartHeader(s);
        break;
    case E::None:
        break;
    }
}

// The media type of a "Content-Type:" field ("application/pdf", "X-ZIP"); empty elsewhere.
std::string_view MediaType(std::string_view field)
{
    constexpr std::string_view kName = "Content-Type:";
    if (!StartsWithIgnoreCase(field, kName)) return {};
    std::string_view type = field.substr(kName.size());
    while (!type.empty() && IsAsciiSpace(static_cast<unsigned char>(type.front())))
        type.remove_prefix(1);
    std::size_t end = 0;
    while (end < type.size() && type[end] != ';' && !IsAsciiSpace(static_cast<unsigned char>(type[end])))
        ++end;
    return type.substr(0, end);
}

void ContentTypeRule(ScanState& s)
{
    const std::string_view line = s.field;
    for (const TypeRow& type : kContentTypes) {
        const std::size_t at = FindIgnoreCase(line, type.type);
        if (at == std::string_view::npos) continue;
        ApplyContentType(s, FindSubtype(type, line.substr(at + type.type.size())));
        return;
    }
    // A type this table does not know, or one without its subtype
    // ("Content-Type: X-ZIP; name=a.zip"), still announces a file.
    const std::string_view media = MediaType(line);
    if (!media.empty() && !StartsWithIgnoreCase(media, "message/"))
        ApplyContentType(s, kOtherApplication);
}

// "boundary=": true when the body is a digest of messages (then the open
// part is dropped and the messages are scanned on their own).
// `at`: where "boundary=" stands in the field; npos for the RFC 2231 form.
bool BoundaryParameter(ScanState& s, std::size_t at)
{
    // A multipart inside a multipart: the enclosing boundary stays in force.
    const std::string enclosing = s.mime.m_Boundary;
    if (at == std::string_view::npos) {
        s.mime.m_Boundary = Rfc2231Parameter(s.field, "boundary");
    } else {
        const int result = s.mime.SetBoundary(ValueAt(s, at, 9));
        if (result < 0 && s.binHexState == 0 && JoinNextLine(s)) s.mime.SetBoundary(ValueAt(s, at, 9));
    }
    EncloseBoundary(s, enclosing);
    if (StartsWithIgnoreCase(MediaType(s.field), "multipart/digest")) s.digestBoundary = s.mime.m_Boundary;
    // The enclosed message of a partial message goes on in the next parts.
    if (s.mime.m_bPartial) return false;
    std::int64_t closing = -1;
    if (MimeBoundaryScan(s, closing) <= 0 || closing < 0) return false;
    s.skipOriginalMessage = false;
    DiscardPart(s);
    return true;
}

} // namespace

void OpenHeaderlessTextPart(ScanState& s)
{
    // What the last body part's headers said is not this one's.
    s.mime.m_FileName.clear();
    s.mime.m_Charset.clear();
    s.mime.m_MsgType = MT_TXT;
    s.nameFromFilename = false;
    s.ForgetBodyEncoding();
    OpenTextPart(s, DT_TXT);
    // The body begins at the blank line after the delimiter.
    CFInfo& part = *s.current;
    part.m_SPos = s.pos + s.consumed;
    part.m_StartLine = s.LastLineNo() + 1;
    s.inMimeHeader = true;
}

void OnContentDisposition(ScanState& s)
{
    s.mimeParamsContinue = true;
    s.rfc2231.Clear();
    const std::size_t at = FindIgnoreCase(s.field, "ilename=", 20);
    if (at != std::string_view::npos) {
        TakeFileName(s, at, 8, true);
        s.nameFromFilename = true;
    }
}

void OnContentTransferEncoding(ScanState& s)
{
    // A multipart body's parts have headers of their own.
    if (s.multipartHeader) return;
    const std::string_view line = s.field;
    if (Contains(line, "Base64")) {
        Base64Encoding(s);
    } else if (Contains(line, "x-uue") || Contains(line, "x-uuencode") || Contains(line, "uue")) {
        UuEncoding(s);
    } else if (Contains(line, "x-yEnc")) {
        YencEncoding(s);
    } else if (Contains(line, "7bit")) {
        s.identityEncoding = true;
        if (MimeTextInEffect(s.settings, s.run)) SevenBit(s);
    } else if (Contains(line, "8bit") || Contains(line, "binary")) {
        // The body is the data itself: nothing to decode.
        s.identityEncoding = true;
    } else if (Contains(line, "quoted-printable")) {
        QuotedPrintable(s);
    } else if (Contains(line, "X-Bommanews")) {
        if (s.current)
            s.current->m_MsgType = MT_BNEWS;
        else
            s.mime.m_MsgType = MT_BNEWS;
        s.bodyKind = MT_BNEWS;
    }
}

void OnContentType(ScanState& s)
{
    s.mimeParamsContinue = true;
    s.mimeDataType = 0;
    s.mime.m_DataType = 0;
    s.rfc2231.Clear();
}

Next OnContentParameters(ScanState& s)
{
    if (s.current) s.mimeDataType = 0;
    const bool outsideHeader = !s.inHeader;

    // The charset first: a name in 8-bit bytes on the same line is read in it.
    const LowerLine first(s.field);
    std::size_t at = first.Find("charset=");
    if (at != std::string_view::npos) {
        s.mime.SetCharset(ValueAt(s, at, 8));
        if (s.current) s.current->SetCharset(s.mime.m_Charset);
    }
    at = first.Find("name=");
    if (at != std::string_view::npos) {
        // "filename" wins over "name", wherever each stands in the header block.
        const bool filename = at >= 4 && EqualsIgnoreCase(std::string_view(s.field).substr(at - 4, 4), "file");
        if (filename || !s.nameFromFilename || s.mime.m_FileName.empty()) TakeFileName(s, at, 5, outsideHeader);
        s.nameFromFilename |= filename;
    }
    std::string name;
    if (CollectRfc2231Name(s, name) &&
        (s.rfc2231.fromFilename || !s.nameFromFilename || s.mime.m_FileName.empty())) {
        s.nameFromFilename |= s.rfc2231.fromFilename;
        s.mime.m_FileName = std::move(name);
        // "filename*=" counts as "filename=" does: the part gets its begin marker.
        NameTheOpenPart(s, outsideHeader || s.rfc2231.fromFilename);
    }

    // The numbers and id of a partial message (the field may have been joined with the next line).
    const std::string_view line = s.field;
    const LowerLine lower(line);
    const auto takeId = [&s, &lower] {
        const std::size_t id = lower.Find("id=");
        if (id == std::string_view::npos) return;
        s.mime.SetPartialID(ValueAt(s, id, 3));
        if (s.current) s.current->m_PartialID = s.mime.m_PartialID;
    };
    takeId();
    if ((at = lower.Find("number=")) != std::string_view::npos) s.mime.m_Part = NumberAt(s, at, 7);
    if ((at = lower.Find("total=")) != std::string_view::npos) {
        s.mime.m_Total = NumberAt(s, at, 6);
        if (s.current && s.mime.m_Part != 0 && s.mime.m_Total != 0 && s.current->m_Total == -1)
            s.current->m_Total = s.mime.m_Total;
    }
    if ((at = lower.Find("message/")) != std::string_view::npos &&
        StartsWithIgnoreCase(line.substr(at + 8), "parti")) {
        s.mime.m_bPartial = 1;
        takeId();
    }
    // A boundary belongs to a multipart type ("text/html; boundary=" is a
    // mistake of the sender's; the whole body is the text).
    const std::string_view media = MediaType(line);
    at = lower.Find("boundary=");
    if ((at != std::string_view::npos || lower.Find("boundary*") != std::string_view::npos) &&
        (media.empty() || StartsWithIgnoreCase(media, "multipart/")) && BoundaryParameter(s, at))
        return Next::EndCycle;

    ContentTypeRule(s);

    if (LastNonBlankOf(s.field.data(), static_cast<int>(s.field.size())) != ';') s.mimeParamsContinue = false;
    if (s.current) {
        if (s.current->m_DataType == 0 || s.current->m_DataType == DT_TXT) s.current->m_DataType = s.mimeDataType;
    } else if (s.mimeDataType != 0) {
        s.mime.m_DataType = s.mimeDataType;
    }
    return Next::Continue;
}

} // namespace zarvex::scan
