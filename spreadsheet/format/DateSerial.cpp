#include "spreadsheet/format/DateSerial.h"

#include <array>
#include <cmath>
#include <string_view>

namespace quillane::format {

long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

double SerialOfDays(double days, bool date1904) {
  if (date1904) return days - static_cast<double>(DaysFromCivil(1904, 1, 1));
  double serial = days - static_cast<double>(DaysFromCivil(1899, 12, 30));
  if (serial < 61) serial -= 1;
  return serial;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

namespace {

// Serial of 9999-12-31 in the 1900 system; the 1904 system's is 1462 less.
constexpr double kMaxSerial1900 = 2958466.0;  // exclusive

}  // namespace

bool SplitDate(double serial, bool date1904, int subsec, DateParts& p) {
  const long long unit = kSubsecondUnits[subsec];
  const double limit = date1904 ? kMaxSerial1900 - 1462 : kMaxSerial1900;
  if (!(serial >= 0) || serial >= limit) return false;
  double days = std::floor(serial);
  double units = std::round((serial - days) * 86400.0 * static_cast<double>(unit));
  long long d = static_cast<long long>(days);
  long long u = static_cast<long long>(units);
  const long long perDay = 86400LL * unit;
  if (u >= perDay) {
    u -= perDay;
    ++d;
  }
  if (static_cast<double>(d) >= limit) return false;
  p.totalSub = d * perDay + u;
  p.sub = u % unit;
  long long secs = u / unit;
  p.hour = secs / 3600;
  p.minute = (secs / 60) % 60;
  p.second = secs % 60;
  if (date1904) {
    // Day 0 is 1904-01-01, a Friday.
    CivilFromDays(d - 24107, p.year, p.month, p.day);  // 1904-01-01 is 24107 days before 1970
    p.weekday = static_cast<int>((d + 5) % 7);
  } else {
    p.weekday = static_cast<int>((d + 6) % 7);
    if (d == 0) {
      p.year = 1900, p.month = 1, p.day = 0;
    } else if (d == 60) {
      p.year = 1900, p.month = 2, p.day = 29;
    } else {
      // Day 1 is 1900-01-01; from day 61 on the count includes the 29th of February 1900.
      long long fromEpoch = d - (d > 60 ? 1 : 0) - 25568;  // days from 1970-01-01
      CivilFromDays(fromEpoch, p.year, p.month, p.day);
    }
  }
  return true;
}

namespace {

struct EraStart {
  int year, month, day;
  std::string_view initial, first, name;
};
// The first day of each era, in order.
constexpr std::array<EraStart, 5> kEras = {{
    {1868, 1, 1, "M", "\xe6\x98\x8e", "\xe6\x98\x8e\xe6\xb2\xbb"},    // Meiji
    {1912, 7, 30, "T", "\xe5\xa4\xa7", "\xe5\xa4\xa7\xe6\xad\xa3"},   // Taisho
    {1926, 12, 25, "S", "\xe6\x98\xad", "\xe6\x98\xad\xe5\x92\x8c"},  // Showa
    {1989, 1, 8, "H", "\xe5\xb9\xb3", "\xe5\xb9\xb3\xe6\x88\x90"},    // Heisei
    {2019, 5, 1, "R", "\xe4\xbb\xa4", "\xe4\xbb\xa4\xe5\x92\x8c"},    // Reiwa
}};

}  // namespace

JapaneseEra JapaneseEraOf(int year, int month, int day) {
  const int key = year * 10000 + month * 100 + day;
  int era = 0;
  for (int i = 1; i < static_cast<int>(kEras.size()); ++i)
    if (key >= kEras[i].year * 10000 + kEras[i].month * 100 + kEras[i].day) era = i;
  return {era, year - kEras[era].year + 1};
}

void AppendEraName(int era, int letters, std::string& out) {
  const EraStart& e = kEras[era];
  out += letters == 1 ? e.initial : letters == 2 ? e.first : e.name;
}

}  // namespace quillane::format
