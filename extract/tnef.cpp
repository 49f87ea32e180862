// ReadTnef: a small reader of our own. The stream is a signature and a key,
// then attributes (level, id, length, data, checksum); attachments begin at
// their rendering attribute and carry their title, data, dates and a block
// of MAPI properties (the long file name, sometimes the data); the message's
// own MAPI block may hold the body as compressed RTF. Every length is checked
// against what is left: a damaged stream ends the reading, and what was read
// whole until then is kept.
#include "extract/tnef.h"

#include <array>
#include <ctime>

#include "text/unicode.h"

namespace zarvex {
namespace {

// Attribute ids (the low 16 bits; the high ones give the attribute's type).
constexpr std::uint16_t kAttBody = 0x800C;
constexpr std::uint16_t kAttAttachData = 0x800F;
constexpr std::uint16_t kAttAttachTitle = 0x8010;
constexpr std::uint16_t kAttAttachModifyDate = 0x8013;
constexpr std::uint16_t kAttAttachRenddata = 0x9002;
constexpr std::uint16_t kAttMapiProps = 0x9003;
constexpr std::uint16_t kAttAttachment = 0x9005;
constexpr std::uint8_t kLevelAttachment = 2;

// MAPI property ids and types.
constexpr std::uint16_t kPrBody = 0x1000;
constexpr std::uint16_t kPrRtfCompressed = 0x1009;
constexpr std::uint16_t kPrBodyHtml = 0x1013;
constexpr std::uint16_t kPrAttachDataObj = 0x3701;
constexpr std::uint16_t kPrAttachLongFilename = 0x3707;
constexpr std::uint16_t kPtString8 = 0x001E;
constexpr std::uint16_t kPtUnicode = 0x001F;
constexpr std::uint16_t kPtObject = 0x000D;
constexpr std::uint16_t kPtBinary = 0x0102;
constexpr std::uint16_t kMultiValued = 0x1000;

// Bounds-checked little-endian reading; a short read leaves `ok` false.
struct Reader
{
    std::string_view data;
    std::size_t at = 0;
    bool ok = true;

    std::size_t Left() const { return data.size() - at; }
    std::uint32_t Le(std::size_t n)
    {
        if (!ok || Left() < n) {
            ok = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
        at += n;
        return v;
    }
    std::string_view Take(std::size_t n)
    {
        if (!ok || Left() < n) {
            ok = false;
            return {};
        }
        const std::string_view s = data.substr(at, n);
        at += n;
        return s;
    }
    void Skip(std::size_t n) { Take(n); }
};

// One MAPI property value of the kinds this reader keeps (variable length).
struct MapiValue
{
    std::uint16_t type = 0, id = 0;
    std::string_view bytes;
};

// The size of one value of a fixed-size MAPI type; 0 for variable-length
// and unknown types.
std::size_t FixedSize(std::uint16_t type)
{
    switch (type) {
    case 0x0001: // null
    case 0x0002: // short
    case 0x0003: // long
    case 0x0004: // float
    case 0x000A: // error
    case 0x000B: // boolean
        return 4;
    case 0x0005: // double
    case 0x0006: // currency
    case 0x0007: // application time
    case 0x0014: // 64-bit integer
    case 0x0040: // system time
        return 8;
    case 0x0048: // class id
        return 16;
    default:
        return 0;
    }
}

bool IsVariable(std::uint16_t type)
{
    return type == kPtString8 || type == kPtUnicode || type == kPtBinary || type == kPtObject;
}

// Every variable-length property of a MAPI block, in order; a property of a
// type this reader does not know ends the block (its size is unknown).
std::vector<MapiValue> ReadMapi(std::string_view block)
{
    std::vector<MapiValue> values;
    Reader r{block};
    const std::uint32_t count = r.Le(4);
    for (std::uint32_t n = 0; n < count && r.ok; ++n) {
        const auto type = static_cast<std::uint16_t>(r.Le(2));
        const auto id = static_cast<std::uint16_t>(r.Le(2));
        if (id >= 0x8000) { // a named property: its GUID and its name or number
            r.Skip(16);
            if (r.Le(4) == 0) {
                r.Skip(4);
            } else {
                const std::uint32_t length = r.Le(4);
                r.Skip((static_cast<std::size_t>(length) + 3) & ~std::size_t{3});
            }
        }
        const std::uint16_t base = type & ~kMultiValued;
        const bool multi = (type & kMultiValued) != 0;
        if (IsVariable(base)) {
            const std::uint32_t items = r.Le(4);
            for (std::uint32_t i = 0; i < items && r.ok; ++i) {
                const std::uint32_t length = r.Le(4);
                const std::string_view bytes = r.Take(length);
                r.Skip((4 - length % 4) % 4);
                if (r.ok) values.push_back({base, id, bytes});
            }
        } else if (const std::size_t size = FixedSize(base); size != 0) {
            const std::uint32_t items = multi ? r.Le(4) : 1;
            if (items > r.Left() / size) return values;
            r.Skip(items * size);
        } else {
            return values;
        }
    }
    return values;
}

const MapiValue* Find(const std::vector<MapiValue>& values, std::uint16_t id)
{
    for (const MapiValue& v : values)
        if (v.id == id) return &v;
    return nullptr;
}

// UTF-16LE to UTF-8 (unpaired surrogates become U+FFFD).
std::string Utf8FromUtf16(std::string_view bytes)
{
    std::string out;
    Reader r{bytes};
    while (r.Left() >= 2) {
        std::uint32_t c = r.Le(2);
        if (c >= 0xD800 && c < 0xDC00 && r.Left() >= 2) {
            const std::uint32_t low = r.Le(2);
            c = low >= 0xDC00 && low < 0xE000 ? 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00) : 0xFFFD;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendCodePoint(out, c);
    }
    return out;
}

// A name up to its first NUL.
std::string NameText(std::string_view bytes)
{
    return std::string(bytes.substr(0, bytes.find('\0')));
}

std::string NameOf(const MapiValue& v)
{
    return v.type == kPtUnicode ? NameText(Utf8FromUtf16(v.bytes)) : NameText(v.bytes);
}

// A TNEF date (year, month, day, hour, minute, second, weekday), taken as UTC.
std::int64_t Seconds(std::string_view bytes)
{
    Reader r{bytes};
    std::tm tm{};
    tm.tm_year = static_cast<int>(r.Le(2)) - 1900;
    tm.tm_mon = static_cast<int>(r.Le(2)) - 1;
    tm.tm_mday = static_cast<int>(r.Le(2));
    tm.tm_hour = static_cast<int>(r.Le(2));
    tm.tm_min = static_cast<int>(r.Le(2));
    tm.tm_sec = static_cast<int>(r.Le(2));
    if (!r.ok || tm.tm_year < 70 || tm.tm_year > 1100 || tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 ||
        tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60)
        return 0;
    return static_cast<std::int64_t>(::timegm(&tm));
}

// The dictionary every compressed RTF stream starts from.
constexpr std::string_view kRtfPrefix =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kRtfPrefix.size() == 207);
constexpr std::uint32_t kRtfCompressed = 0x75465A4C;   // "LZFu"
constexpr std::uint32_t kRtfUncompressed = 0x414C454D; // "MELA"

// Compressed RTF (PR_RTF_COMPRESSED) as plain RTF; nothing when damaged.
std::optional<std::string> DecompressRtf(std::string_view bytes)
{
    Reader r{bytes};
    const std::uint32_t compressedSize = r.Le(4);
    const std::uint32_t rawSize = r.Le(4);
    const std::uint32_t magic = r.Le(4);
    r.Skip(4); // CRC
    if (!r.ok || compressedSize < 12) return std::nullopt;
    const std::size_t end = std::min<std::size_t>(bytes.size(), std::size_t{compressedSize} + 4);
    if (magic == kRtfUncompressed) return std::string(r.Take(std::min<std::size_t>(rawSize, end - r.at)));
    if (magic != kRtfCompressed) return std::nullopt;
    std::array<char, 4096> dict{};
    std::copy(kRtfPrefix.begin(), kRtfPrefix.end(), dict.begin());
    std::size_t write = kRtfPrefix.size();
    std::string out;
    out.reserve(std::min<std::size_t>(rawSize, bytes.size() * 8));
    while (r.at < end) {
        const std::uint32_t control = r.Le(1);
        for (int bit = 0; bit < 8 && r.at < end && out.size() < rawSize; ++bit) {
            if ((control & (1u << bit)) == 0) {
                const char c = static_cast<char>(r.Le(1));
                out += c;
                dict[write++ % dict.size()] = c;
                continue;
            }
            const std::uint32_t ref = (r.Le(1) << 8) | r.Le(1);
            if (!r.ok) return out;
            const std::size_t offset = ref >> 4;
            if (offset == write % dict.size()) return out; // the end mark
            const std::size_t length = (ref & 0xF) + 2;
            for (std::size_t i = 0; i < length; ++i) {
                const char c = dict[(offset + i) % dict.size()];
                out += c;
                dict[write++ % dict.size()] = c;
            }
        }
        if (out.size() >= rawSize) break;
    }
    return out;
}

struct Attachment
{
    TnefFile file;
    bool hasData = false;
};

void ApplyAttachmentMapi(Attachment& a, std::string_view block)
{
    const std::vector<MapiValue> values = ReadMapi(block);
    if (const MapiValue* name = Find(values, kPrAttachLongFilename);
        name && (name->type == kPtString8 || name->type == kPtUnicode)) {
        if (std::string text = NameOf(*name); !text.empty()) a.file.name = std::move(text);
    }
    if (const MapiValue* data = Find(values, kPrAttachDataObj)) {
        // An embedded object keeps the interface id it starts with, as other
        // TNEF readers write it.
        if (data->type == kPtBinary || data->type == kPtObject) {
            a.file.data.assign(data->bytes);
            a.hasData = true;
        }
    }
}

} // namespace

std::optional<TnefContents> ReadTnef(std::string_view bytes)
{
    if (!HasTnefSignature(bytes)) return std::nullopt;
    Reader r{bytes, kTnefSignature.size() + 2}; // the signature and the legacy key
    if (bytes.size() < r.at) return std::nullopt;
    std::vector<Attachment> attachments;
    bool messageBody = false;
    std::string_view rtf;
    while (r.Left() > 0) {
        const std::uint32_t level = r.Le(1);
        const auto id = static_cast<std::uint16_t>(r.Le(4) & 0xFFFF);
        const std::uint32_t length = r.Le(4);
        const std::string_view data = r.Take(length);
        r.Skip(2); // checksum (damaged ones are common and harmless)
        if (!r.ok) break;
        if (level != kLevelAttachment) {
            if (id == kAttBody && !data.empty()) messageBody = true;
            if (id != kAttMapiProps) continue;
            const std::vector<MapiValue> values = ReadMapi(data);
            if (Find(values, kPrBody) || Find(values, kPrBodyHtml)) messageBody = true;
            if (const MapiValue* v = Find(values, kPrRtfCompressed)) rtf = v->bytes;
            continue;
        }
        if (id == kAttAttachRenddata || attachments.empty()) attachments.emplace_back();
        Attachment& a = attachments.back();
        switch (id) {
        case kAttAttachTitle:
            if (a.file.name.empty()) a.file.name = NameText(data);
            break;
        case kAttAttachData:
            a.file.data.assign(data);
            a.hasData = true;
            break;
        case kAttAttachModifyDate:
            a.file.modified = Seconds(data);
            break;
        case kAttAttachment:
            ApplyAttachmentMapi(a, data);
            break;
        default:
            break;
        }
    }
    TnefContents out;
    out.damaged = !r.ok;
    for (Attachment& a : attachments)
        if (a.hasData) out.files.push_back(std::move(a.file));
    if (!messageBody && !rtf.empty()) out.rtfBody = DecompressRtf(rtf);
    return out;
}

} // namespace zarvex
