#include "brimwell/core/base/error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace brimwell {
namespace {

TEST(ErrorTest, PosixErrorsCarryTheSystemTextAndUnknownCodesBecomeEIO) {
  EXPECT_EQ(Error::posix(ENOSPC), Error("No space left on device", ENOSPC));
  EXPECT_EQ(Error::posix(EACCES).message(), "Permission denied");
  EXPECT_EQ(Error::posix(99999).code(), EIO);
  EXPECT_EQ(Error::posix(0).code(), EIO);
}

TEST(ExpectedTest, HoldsEitherTheValueOrTheError) {
  Result<int> good = 7;
  Result<int> bad = fail("It broke.");
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, 7);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message(), "It broke.");
  EXPECT_EQ(bad.value_or(3), 3);

  // Value and error of the same type stay apart.
  Expected<std::string, std::string> text = Unexpected(std::string("why"));
  EXPECT_FALSE(text.has_value());
  EXPECT_EQ(text.error(), "why");

  Status done;
  Status failed = failPosix(EACCES);
  EXPECT_TRUE(done);
  EXPECT_EQ(failed.error().code(), EACCES);
}

}  // namespace
}  // namespace brimwell
