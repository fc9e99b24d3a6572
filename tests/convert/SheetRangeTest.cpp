#include <gtest/gtest.h>

#include "convert/SheetRange.h"

using quillane::convert::SheetRange;

namespace {
std::vector<int> Chosen(const std::string& selection, int sheets = 25) {
  SheetRange range(selection);
  std::vector<int> chosen;
  for (int i = 1; i <= sheets; ++i) {
    if (range.Contains(i)) chosen.push_back(i);
  }
  return chosen;
}
using V = std::vector<int>;
}  // namespace

TEST(SheetRange, EmptyOrBlankSelectsEverySheet) {
  EXPECT_TRUE(SheetRange("").AllSheets());
  EXPECT_TRUE(SheetRange("   ").AllSheets());
  EXPECT_EQ(Chosen("", 3), (V{1, 2, 3}));
  EXPECT_FALSE(SheetRange(",").AllSheets());
  EXPECT_EQ(Chosen(","), V{});
}

TEST(SheetRange, NumbersAndSpans) {
  EXPECT_EQ(Chosen("1,4-5,10-20", 12), (V{1, 4, 5, 10, 11, 12}));
  EXPECT_EQ(Chosen("1 , 3"), (V{1, 3}));
  EXPECT_EQ(Chosen(" 1 0 "), (V{10}));  // blanks inside are removed too
  EXPECT_EQ(Chosen("3,3,1"), (V{1, 3}));
}

TEST(SheetRange, ItemsThatChooseNothing) {
  EXPECT_EQ(Chosen("abc"), V{});
  EXPECT_EQ(Chosen("0"), V{});
  EXPECT_EQ(Chosen("2.5"), V{});  // a number, but never a sheet's
  EXPECT_EQ(Chosen("03"), V{});   // written differently from sheet 3
  EXPECT_EQ(Chosen("+3"), V{});
  EXPECT_EQ(Chosen("3-1"), V{});
  EXPECT_EQ(Chosen("4-", 6), V{});
  EXPECT_EQ(Chosen("1-2-3"), V{});
  EXPECT_EQ(Chosen(":1,4-5"), (V{4, 5}));  // ":1" is not a number
}

TEST(SheetRange, SpanEndsAreLeadingNumbersRoundedHalfToEven) {
  EXPECT_EQ(Chosen("-2"), (V{1, 2}));       // 0 to 2
  EXPECT_EQ(Chosen(":1-3"), (V{1, 2, 3}));  // the leading number of ":1" is 0
  EXPECT_EQ(Chosen("2.5-3.5"), (V{2, 3, 4}));
  EXPECT_EQ(Chosen("1.5-2.5"), (V{2}));
  EXPECT_EQ(Chosen("2a-4b"), (V{2, 3, 4}));
  EXPECT_EQ(Chosen("x-2"), (V{1, 2}));
  EXPECT_EQ(Chosen(".6-1"), (V{1}));
}

TEST(SheetRange, HugeSpansAreKeptAsSpans) {
  SheetRange range("1-2000000000,5-99999999999999,3");  // kept as spans, not expanded
  EXPECT_TRUE(range.Contains(1));
  EXPECT_TRUE(range.Contains(2000000000));
  EXPECT_TRUE(range.Contains(2147483647));  // held at the 32-bit end
  EXPECT_EQ(range.Spans().size(), 1u);
  SheetRange far("2147483647");
  EXPECT_TRUE(far.Contains(2147483647));
  EXPECT_FALSE(SheetRange("2147483648").Contains(2147483647));
}
