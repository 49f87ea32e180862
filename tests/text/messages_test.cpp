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

TEST(Messages, FileErrorCausesOutsideTheTableAreUnknown)
{
    EXPECT_EQ(FileErrorText(kEndOfFile), Message(msg::FileErrorEndOfFile));
    for (const int cause : {-1, kEndOfFile + 1})
        EXPECT_EQ(FileErrorText(cause), "Unknown") << cause;
}

} // namespace
} // namespace zarvex
