// Date serials: a cell's number read as a date and a time of day. In the 1900 system day 1 is
// 1900-01-01 and day 60 is the 29th of February 1900, a day the calendar never had but the
// application counts (so day 0 shows as 1900-01-00); in the 1904 system day 0 is 1904-01-01.
// The fraction of a day is the time, rounded to the fractions of a second the format shows.
#pragma once

#include <string>

namespace quillane::format {

struct DateParts {
  int year, month, day, weekday;        // weekday: 0 is Sunday
  long long hour, minute, second, sub;  // sub in 10^-subsec seconds
  long long totalSub;                   // the whole value in 10^-subsec seconds (elapsed)
};

// 10^subsec for the 0 to 3 digits of fractions of a second a format can show.
inline constexpr long long kSubsecondUnits[] = {1, 10, 100, 1000};

// Splits `serial` (with `subsec` digits of fractions of a second, 0 to 3). False when the value
// is no date: negative, or after 9999-12-31.
bool SplitDate(double serial, bool date1904, int subsec, DateParts& parts);

// The civil date of a count of days from 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(long long days, int& year, int& month, int& day);
// The other way: the days from 1970-01-01 of a civil date.
long long DaysFromCivil(long long year, long long month, long long day);
// The date serial of a count of days (and fraction) from 1970-01-01, as the files of the newer
// formats write dates (ISO 8601): in the 1900 system, days before the 1st of March 1900 are one
// less, since the serials count a 29th of February 1900.
double SerialOfDays(double days, bool date1904);

// The era of the Japanese calendar a date falls in (0 Meiji ... 4 Reiwa) and the year within it
// (the era's first year is 1). Dates before Meiji count as Meiji.
struct JapaneseEra {
  int era, year;
};
JapaneseEra JapaneseEraOf(int year, int month, int day);
// The era's name with `letters` g's of the code: 1 its Latin initial, 2 its first character, 3
// (or more) its full name.
void AppendEraName(int era, int letters, std::string& out);

}  // namespace quillane::format
