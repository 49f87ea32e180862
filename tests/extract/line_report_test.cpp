// The exact wording and colour markers of line error entries.
#include "extract/line_report.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zarvex {
namespace {

TEST(LineErrorText, WordingWithAndWithoutPartTotalSubjectAndReason)
{
    EXPECT_EQ(LineErrorText(msg::ShortLine, 17, 2, 5, "/in/a.txt", "holiday pictures"),
              "\xFD" "800000*Error decoding line 17 of \xFD" "000000/in/a.txt,\xFD" "800000"
              " short line\xFD" "000000"
              "\xFD" "800000 (Part 2 of 5  in holiday pictures)"
              "\xFD" "000000\r\n");
    EXPECT_EQ(LineErrorText(msg::LongLine, 3, 1, -1, "f", ""),
              "\xFD" "800000*Error decoding line 3 of \xFD" "000000f,\xFD" "800000 long line\xFD" "000000"
              "\xFD" "800000 (Part 1)\xFD" "000000\r\n");
    EXPECT_EQ(LineErrorText(msg::NoMessage, 9, -1, 3, "f", "s"),
              "\xFD" "800000*Error decoding line 9 of \xFD" "000000f,\xFD" "800000\xFD" "000000\r\n");
}

TEST(LineErrorText, MarkerBytesInNamesStayText)
{
    const std::string text = LineErrorText(msg::NoMessage, 1, 1, 1, "a\xFD" "00FF00b", "x\xFD" "0000FFy");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\xFD'), 5) << "only the template's own markers";
}

} // namespace
} // namespace zarvex
