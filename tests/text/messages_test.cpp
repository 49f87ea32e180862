#include "text/messages.h"

#include "io/file_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace zarvex {
namespace {

TEST(Messages, EveryNamedIdHasTextAndEveryTextHasAName)
{
    for (const msg::Id id : msg::kAll) EXPECT_FALSE(Message(id).empty()) << "message " << int(id);
    for (int n = 1; n < 1000; ++n) {
        const bool named = std::find(std::begin(msg::kAll), std::end(msg::kAll), n) != std::end(msg::kAll);
        EXPECT_EQ(!Message(static_cast<msg::Id>(n)).empty(), named) << "message " << n;
    }
}

TEST(Messages, FileErrorCausesMapToTheirTextsAndOthersToUnknown)
{
    EXPECT_EQ(FileErrorText(kNoError), Message(msg::FileErrorNone));
    EXPECT_EQ(FileErrorText(kDiskFull), "The disk is full!");
    EXPECT_EQ(FileErrorText(kEndOfFile), Message(msg::FileErrorEndOfFile));
    EXPECT_EQ(FileErrorText(-1), "Unknown");
    EXPECT_EQ(FileErrorText(kEndOfFile + 1), "Unknown");
}

} // namespace
} // namespace zarvex
