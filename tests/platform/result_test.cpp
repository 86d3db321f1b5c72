// The result type every fallible call returns: what it holds, and how errors pass up.
#include "platform/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using platform::Error;
using platform::ErrorKind;
using platform::Result;

namespace {

Result<int> Parse(const std::string& text) {
    if (text.empty()) return Error::Of(ErrorKind::Missing, "no number");
    if (text.find_first_not_of("0123456789") != std::string::npos)
        return Error::Failed("\"" + text + "\" is no number");
    return std::stoi(text);
}

// Adds the numbers in order and stops at the first that fails; `steps` counts the ones read.
Result<int> Sum(const std::vector<std::string>& texts, int* steps) {
    int sum = 0;
    for (const std::string& text : texts) {
        VORLEN_TRY_ASSIGN(number, Parse(text));
        ++*steps;
        sum += number;
    }
    return sum;
}

Result<void> CheckAll(const std::vector<std::string>& texts, int* steps) {
    for (const std::string& text : texts) VORLEN_TRY(Parse(text));
    ++*steps;
    return {};
}

}  // namespace

TEST(Result, HoldsAValueOrAnErrorWithItsKindAndReason) {
    const Result<int> good = Parse("42");
    ASSERT_TRUE(good.ok());
    EXPECT_TRUE(static_cast<bool>(good));
    EXPECT_EQ(*good, 42);
    EXPECT_EQ(good.why(), "");
    EXPECT_FALSE(good.Is(ErrorKind::Failed));

    const Result<int> bad = Parse("4x");
    ASSERT_FALSE(bad.ok());
    EXPECT_TRUE(bad.Is(ErrorKind::Failed));
    EXPECT_FALSE(bad.Is(ErrorKind::Missing));
    EXPECT_EQ(bad.why(), "\"4x\" is no number");
    EXPECT_EQ(bad.value_or(-1), -1);
    EXPECT_EQ(Parse("").error().kind, ErrorKind::Missing);

    // A move-only value moves out whole.
    Result<std::unique_ptr<int>> owned = std::make_unique<int>(7);
    std::unique_ptr<int> taken = std::move(owned).value();
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, 7);

    const Result<void> done;
    EXPECT_TRUE(done.ok());
    const Result<void> refused = Error::Of(ErrorKind::Busy, "held");
    EXPECT_TRUE(refused.Is(ErrorKind::Busy));
    EXPECT_EQ(refused.why(), "held");
}

TEST(Result, TryPassesTheFirstErrorUpUnchangedAndGoesNoFurther) {
    int steps = 0;
    EXPECT_EQ(Sum({"1", "2", "3"}, &steps).value_or(-1), 6);
    EXPECT_EQ(steps, 3);

    steps = 0;
    const Result<int> sum = Sum({"1", "", "x"}, &steps);
    EXPECT_TRUE(sum.Is(ErrorKind::Missing));
    EXPECT_EQ(sum.why(), "no number");
    EXPECT_EQ(steps, 1);

    steps = 0;
    EXPECT_TRUE(CheckAll({"1", "2"}, &steps).ok());
    EXPECT_EQ(steps, 1);
    steps = 0;
    const Result<void> checked = CheckAll({"1", "y", ""}, &steps);
    EXPECT_TRUE(checked.Is(ErrorKind::Failed));
    EXPECT_EQ(checked.why(), "\"y\" is no number");
    EXPECT_EQ(steps, 0);
}

TEST(ResultDeathTest, ReadingTheWrongSideIsABugThatStopsTheProgram) {
    EXPECT_DEATH((void)*Parse("x"), "value\\(\\) on a failed result");
    EXPECT_DEATH((void)Parse("1").error(), "error\\(\\) on a result that holds a value");
    EXPECT_DEATH((void)Result<void>().error(), "error\\(\\) on a result that succeeded");
}
