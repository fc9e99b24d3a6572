#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "spreadsheet/format/DateSerial.h"

using namespace quillane::format;

namespace {

std::string Date(double serial, bool date1904 = false, int subsec = 0) {
  DateParts p{};
  if (!SplitDate(serial, date1904, subsec, p)) return "none";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d w%d %02lld:%02lld:%02lld.%lld", p.year, p.month,
                p.day, p.weekday, p.hour, p.minute, p.second, p.sub);
  return text;
}

}  // namespace

TEST(DateSerial, TheTwoSystemsTheirFirstDaysAndTheDayThatNeverWas) {
  EXPECT_EQ(Date(0), "1900-01-00 w6 00:00:00.0");
  EXPECT_EQ(Date(1), "1900-01-01 w0 00:00:00.0");
  EXPECT_EQ(Date(59), "1900-02-28 w2 00:00:00.0");
  EXPECT_EQ(Date(60), "1900-02-29 w3 00:00:00.0");
  EXPECT_EQ(Date(61), "1900-03-01 w4 00:00:00.0");
  EXPECT_EQ(Date(46363.75), "2026-12-07 w1 18:00:00.0");
  EXPECT_EQ(Date(0, true), "1904-01-01 w5 00:00:00.0");
  EXPECT_EQ(Date(46363 - 1462, true), "2026-12-07 w1 00:00:00.0");
}

TEST(DateSerial, EndsRoundingAndLimits) {
  EXPECT_EQ(Date(2958465.5), "9999-12-31 w5 12:00:00.0");
  EXPECT_EQ(Date(2958466), "none");
  EXPECT_EQ(Date(2958466 - 1462, true), "none");
  EXPECT_EQ(Date(-0.5), "none");
  EXPECT_EQ(Date(std::nan("")), "none");
  // Seconds round to the digits shown; a time that rounds up to midnight starts the next day.
  EXPECT_EQ(Date(1 + 0.99999999), "1900-01-02 w1 00:00:00.0");
  EXPECT_EQ(Date(1 + 1.5 / 86400, false, 0), "1900-01-01 w0 00:00:02.0");
  EXPECT_EQ(Date(1 + 1.2344 / 86400, false, 3), "1900-01-01 w0 00:00:01.234");
  int y, m, d;
  CivilFromDays(-1, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 19691231);
  CivilFromDays(11016, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
}
