// The naming steps a part goes through when it enters the sort list: text
// messages, face images, and the extension check of every named part.
#include "model/file_types.h"
#include "model/naming.h"
#include "model/naming_internal.h"
#include "model/records.h"
#include "model/settings.h"
#include "text/ascii.h"
#include "text/display_text.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace zarvex {
namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::size_t kSubjectInName = 100;
constexpr std::size_t kLongestExtension = 7;

std::string MessageName(const CFInfo& part)
{
    const std::string subject = WithoutSeparators(part.m_FullSubj);
    if (part.m_Time == 0) return subject.empty() ? "message1.txt" : "message1-" + subject + ".txt";
    const std::time_t t = static_cast<std::time_t>(part.m_Time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return "message1.txt";
    char date[64];
    std::snprintf(date, sizeof date, "(%02d-%s-%04d).txt", tm.tm_mday,
                  kMonths[static_cast<std::size_t>(tm.tm_mon % 12)], tm.tm_year + 1900);
    if (subject.empty()) return std::string("message") + date;
    return "message-" + subject.substr(0, Utf8CutPoint(subject, kSubjectInName)) + date;
}

// A message name no output of the run uses yet: a number after the stem.
// Two nameless messages must never meet as one file, so the numbers go on
// as far as needed (the count per stem is remembered, so that thousands of
// them are numbered in linear time).
std::string NumberedMessageName(MyCObArray& list, const std::string& name, bool html)
{
    constexpr int kLastNumber = 99'999'999;
    const NameParts parts = SplitName(name);
    int& last = list.m_MessageNumbers[ToLowerAscii(parts.stem)];
    for (int n = last + 1; n <= kLastNumber; ++n) {
        const std::string number = std::to_string(n);
        const std::size_t keep = name.size() - number.size();
        std::string variant =
            FitName(parts.stem.substr(0, Utf8CutPoint(parts.stem, keep)) + number + (html ? ".htm" : ".txt"));
        if (list.FindNameInGroups(variant, -1) < 0) {
            last = n;
            return variant;
        }
    }
    return name;
}

// The position of the name's extension dot, or npos when the name has none
// (a last "." followed by more than seven characters starts no extension).
std::size_t ExtensionDot(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot - 1 > kLongestExtension)
        return std::string::npos;
    return dot;
}

bool IsVolumeNumber(std::string_view ext)
{
    if (ext.size() < 2) return false;
    for (char c : ext)
        if (!IsAsciiDigit(c)) return false;
    return true;
}

// The type's extension added to a name that has none of its own.
std::string AppendTypeExtension(const std::string& name, int dataType)
{
    if (name.find('.') == std::string::npos) return TypedName(name, dataType);
    std::string typed = AddTypeExtension(name + ".", dataType);
    while (!typed.empty() && typed.back() == '.')
        typed.pop_back();
    return FitName(typed);
}

} // namespace

void NameTextMessage(MyCObArray& list, CFInfo& part, CSortInfo* group)
{
    const Settings& settings = list.GetSettings();
    if (part.m_DataType == DT_UNKNOWN || part.m_DataType == DT_APP) {
        part.m_DataType = DT_TXT;
        part.m_Ends = part.m_Starts;
    }
    const bool html = part.m_DataType == DT_HTM;
    std::string name;
    if (html) {
        name = part.m_DestFile.empty()
                   ? "message1.htm"
                   : FitName(SplitName(CleanName(part.m_DestFile, false, false, settings)).stem + ".htm");
    } else {
        name =
            CleanName(part.m_DestFile.empty() ? MessageName(part) : part.m_DestFile, false, false, settings);
    }
    if (name.empty()) name = html ? "message1.htm" : "message1.txt";
    // Every text message name is unique in the run: two texts never meet as one file.
    if ((group && group->IndexOfName(name) >= 0) || list.FindNameInGroups(name, -1) >= 0)
        name = NumberedMessageName(list, name, html);
    part.m_DestFile = name;
}

void NameFaceImage(CFInfo& part, const Settings& settings)
{
    if (part.m_DestFile.empty()) {
        const bool xface = part.m_MsgType == MT_XFACE;
        const std::string from = WithoutSeparators(part.m_From);
        const std::string stem = xface ? "X-Face" : "Face";
        part.m_DestFile = (from.empty() ? stem : stem + "-" + from) + (xface ? ".bmp" : ".png");
    }
    part.m_DestFile = CleanName(part.m_DestFile, false, false, settings);
}

bool FixExtension(MyCObArray& list, CFInfo& part, std::string* beforeExtension)
{
    const Settings& settings = list.GetSettings();
    std::string name = CleanName(part.m_DestFile, false, false, settings);
    if (name.empty()) name = MakeName(list, part.m_DataType, part.m_Subject, nullptr);
    part.m_DestFile = name;
    if (beforeExtension) *beforeExtension = name;

    const int type = part.m_DataType;
    const bool detect = settings.AutoExtensionDetect && settings.DetectsType(type);
    const std::size_t dot = ExtensionDot(name);
    // "application/octet-stream" says nothing of what the file is: a name
    // that came with it keeps its own extension, as a generic body's does.
    const bool generic = type == DT_APP || type == DT_OCT;
    if (dot == std::string::npos) {
        if (detect && type != DT_HQX && !generic) {
            if (part.m_Total < 2) {
                part.m_DestFile = AppendTypeExtension(name, type);
            } else {
                part.SetFlag(PF_RETYPE);
            }
        }
    } else if (detect && !generic && part.m_MsgType != MT_HQX &&
               !IsVolumeNumber(name.substr(dot + 1))) {
        part.m_DestFile = TypedName(name, type);
    }
    if (type == DT_APL) {
        const std::size_t extDot = ExtensionDot(part.m_DestFile);
        part.m_DestFile = FitName(part.m_DestFile.substr(0, extDot) + ".apl");
    }
    return part.m_DestFile != name;
}

} // namespace zarvex
