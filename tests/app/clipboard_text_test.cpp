#include "app/clipboard_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zarvex {
namespace {

TEST(ClipboardText, OnlyALineOfMoreThan1023CharactersNearTheStartIsLong)
{
    EXPECT_FALSE(HasLongLines(std::string(1023, 'a') + "\nb"));
    EXPECT_TRUE(HasLongLines("x\n" + std::string(1024, 'a')));
    EXPECT_FALSE(HasLongLines(std::string(20000, '\n') + std::string(2000, 'a')));
}

TEST(ClipboardText, LongLinesAreCutAtBlanksBeforeHeadersOrAfter88Characters)
{
    const std::string data(200, 'Q');
    const std::string text =
        "short line\r\nContent-Type: text/plain content-transfer-encoding: base64 " + data;
    EXPECT_EQ(RewrapLongLines(text),
              "short line\r\nContent-Type: text/plain\r\ncontent-transfer-encoding: base64\r\n" +
                  data.substr(0, 88) + "\r\n" + data.substr(88, 88) + "\r\n" + data.substr(176));
    const std::string words = std::string(70, 'w') + " " + std::string(30, 'v') + " end";
    EXPECT_EQ(RewrapLongLines(words), std::string(70, 'w') + "\r\n" + std::string(30, 'v') + " end");
}

} // namespace
} // namespace zarvex
