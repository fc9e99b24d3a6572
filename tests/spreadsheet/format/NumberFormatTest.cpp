// Number formats, feature by feature. The table-driven comparison with real spreadsheet output is
// in FormatTableTest.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "spreadsheet/format/Decimal.h"
#include "spreadsheet/format/NumberFormat.h"

namespace quillane::format {
namespace {

std::string Show(std::string_view code, double v, bool date1904 = false) {
  return NumberFormat(code).Format(v, date1904).text;
}

TEST(GeneralTest, ShowsAtMostElevenCharacters) {
  EXPECT_EQ(FormatGeneral(0.785398163397448), "0.785398163");
  EXPECT_EQ(FormatGeneral(520362.661535), "520362.6615");
  EXPECT_EQ(FormatGeneral(123456789012), "1.23457E+11");
  EXPECT_EQ(FormatGeneral(12345678901), "12345678901");
  EXPECT_EQ(FormatGeneral(-12345678901), "-1.2346E+10");
  EXPECT_EQ(FormatGeneral(-1234567890.5), "-1234567891");
  EXPECT_EQ(FormatGeneral(1e-10), "1E-10");
  EXPECT_EQ(FormatGeneral(0.0001234), "0.0001234");
  EXPECT_EQ(FormatGeneral(0.00001), "1E-05");
  EXPECT_EQ(FormatGeneral(1.5e300), "1.5E+300");
  EXPECT_EQ(FormatGeneral(-1.23456789e-300), "-1.235E-300");
  EXPECT_EQ(FormatGeneral(99999999999.5), "1E+11");
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
  EXPECT_EQ(FormatGeneral(-1), "-1");
}

TEST(GeneralTest, RoundsToFifteenDigitsFirst) {
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(99999.999999), "100000");
  EXPECT_EQ(FormatGeneral(1e15 + 0.3), "1E+15");
  EXPECT_EQ(FormatGeneral(2.675), "2.675");
}

TEST(GeneralTest, FifteenDigitsWhicheverWayTheyAreFound) {
  auto digits = [](double v) {
    const Decimal x = ToDecimal(v);
    return std::string(x.d, static_cast<size_t>(x.n)) + "e" + std::to_string(x.exp);
  };
  // Whole numbers of up to 15 digits.
  EXPECT_EQ(digits(120000), "12e5");
  EXPECT_EQ(digits(999999999999999), "999999999999999e14");
  // The shortest digits, when there are no more than 15; else rounded to 15.
  EXPECT_EQ(digits(1e15), "1e15");
  EXPECT_EQ(digits(0.1), "1e-1");
  EXPECT_EQ(digits(0.1 + 0.2), "3e-1");
  EXPECT_EQ(digits(1.0000000000000002), "1e0");
  EXPECT_EQ(digits(1234567890123456), "123456789012346e15");
  // Below the normal range the shortest digits are too few: the binary value's 15.
  EXPECT_EQ(digits(5e-324), "494065645841247e-324");
}

TEST(GeneralTest, NeverLongerThanElevenOverManyValues) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> ex(-320, 307);
  for (int i = 0; i < 20000; ++i) {
    double v = mant(rng) * std::pow(10.0, ex(rng));
    if (i % 2) v = -v;
    std::string s = FormatGeneral(v);
    ASSERT_LE(s.size(), 11u) << v << " -> " << s;
    // The text reads back close to the value (at least 4 significant digits survive).
    double back = std::strtod(s.c_str(), nullptr);
    if (std::fabs(v) > 1e-300) {
      ASSERT_NEAR(back / v, 1.0, 5e-4) << v << " -> " << s;
    }
  }
}

TEST(GeneralTest, NotANumberIsAnError) {
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "#NUM!");
  EXPECT_EQ(Show("0.00", std::numeric_limits<double>::infinity()), "#NUM!");
}

TEST(NumberTest, RoundsDecimalHalvesAwayFromZero) {
  EXPECT_EQ(Show("0.00", 2.675), "2.68");
  EXPECT_EQ(Show("0.00", -2.675), "-2.68");
  EXPECT_EQ(Show("0.00", 1.005), "1.01");
  EXPECT_EQ(Show("0", 0.5), "1");
  EXPECT_EQ(Show("0", 2.5), "3");
  EXPECT_EQ(Show("0", -0.4), "0");
  EXPECT_EQ(Show("0.00", 999.995), "1000.00");
  EXPECT_EQ(Show("0", 1e20), "100000000000000000000");
  EXPECT_EQ(Show("0", 123456789012345678.0), "123456789012346000");
}

TEST(NumberTest, Placeholders) {
  EXPECT_EQ(Show("#.##", 0.5), ".5");
  EXPECT_EQ(Show("#.##", 1), "1.");
  EXPECT_EQ(Show("#", 0), "");
  EXPECT_EQ(Show("0000", 12), "0012");
  EXPECT_EQ(Show("???.??", 1.5), "  1.5 ");
  EXPECT_EQ(Show("0.0#", 1.5), "1.5");
  EXPECT_EQ(Show("0.0#", 1.257), "1.26");
  EXPECT_EQ(Show("000-00-0000", 123456789), "123-45-6789");
  EXPECT_EQ(Show("(###) ###-####", 2125551234), "(212) 555-1234");
  EXPECT_EQ(Show("00", 12345), "12345");
}

TEST(NumberTest, NoPlaceholderBeforeThePointStillShowsTheIntegerPart) {
  EXPECT_EQ(Show(".0", 45.61911), "45.6");
  EXPECT_EQ(Show(".00", 2.336654), "2.34");
  EXPECT_EQ(Show(".0", 0.61), ".6");
  EXPECT_EQ(Show(".0", 0), ".0");
  EXPECT_EQ(Show(".0", -1234.56), "-1234.6");
  EXPECT_EQ(Show("\"x\".0%", 12.3456), "x1234.6%");
  EXPECT_EQ(Show("#.0", 45.61911), "45.6");
  EXPECT_EQ(Show("#.0", 0.61), ".6");
  EXPECT_EQ(Show("0.", 45.6), "46.");
  EXPECT_EQ(Show(".", 45.6), "46.");
  EXPECT_EQ(Show(".", 0.2), ".");
  EXPECT_EQ(Show("0.0;(.0)", -45.61), "(45.6)");
  EXPECT_EQ(Show("0.0;-0.0;.00", 0), ".00");
  EXPECT_EQ(Show(".00E+00", 1234), ".12E+04");
}

TEST(NumberTest, DocumentedExamples) {
  // The examples of the application's own guide to custom number formats.
  EXPECT_EQ(Show("####.#", 1234.59), "1234.6");
  EXPECT_EQ(Show("#.000", 8.9), "8.900");
  EXPECT_EQ(Show("0.#", 0.631), "0.6");
  EXPECT_EQ(Show("#.0#", 12), "12.0");
  EXPECT_EQ(Show("#.0#", 1234.568), "1234.57");
  EXPECT_EQ(Show("???.???", 44.398), " 44.398");
  EXPECT_EQ(Show("???.???", 102.65), "102.65 ");
  EXPECT_EQ(Show("???.???", 2.8), "  2.8  ");
  EXPECT_EQ(Show("# ??\?/???", 5.25), "5   1/4  ");
  EXPECT_EQ(Show("#,###", 12000), "12,000");
  EXPECT_EQ(Show("#,", 12000), "12");
  EXPECT_EQ(Show("0.0,,", 12200000), "12.2");
  EXPECT_EQ(Show("0.00;[Red]0.00", -3), "3.00");
}

TEST(NumberTest, ThousandsScalingAndPercent) {
  EXPECT_EQ(Show("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(Show("#,##0", -999.4), "-999");
  EXPECT_EQ(Show("#,##0,", 1234567), "1,235");
  EXPECT_EQ(Show("#,##0,,\"M\"", 1234567890), "1,235M");
  EXPECT_EQ(Show("0.0,,\"M\"", 98765432), "98.8M");
  EXPECT_EQ(Show("0%", 0.125), "13%");
  EXPECT_EQ(Show("0.00%", -0.5), "-50.00%");
  EXPECT_EQ(Show("0%", 1.005), "101%");
  EXPECT_EQ(Show(",0", 5), ",5");
}

TEST(NumberTest, Scientific) {
  EXPECT_EQ(Show("0.00E+00", 12345), "1.23E+04");
  EXPECT_EQ(Show("0.00E+00", 0.000123), "1.23E-04");
  EXPECT_EQ(Show("0.00E-00", 12345), "1.23E04");
  EXPECT_EQ(Show("0.00e+00", 12345), "1.23E+04");
  EXPECT_EQ(Show("0.00E+00", 99950000000.0), "1.00E+11");
  EXPECT_EQ(Show("##0.0E+0", 12345), "12.3E+3");
  EXPECT_EQ(Show("##0.0E+0", 0.000123), "123.0E-6");
  EXPECT_EQ(Show("00.00E+00", -0.5), "-50.00E-02");
  EXPECT_EQ(Show("0.00E+00", 0), "0.00E+00");
  EXPECT_EQ(Show("0.00E+00", 1e-300), "1.00E-300");
}

TEST(NumberTest, Fractions) {
  EXPECT_EQ(Show("# ?/?", 1.5), "1 1/2");
  EXPECT_EQ(Show("# ?/?", 0.5), " 1/2");
  EXPECT_EQ(Show("# ?/?", 2), "2    ");
  EXPECT_EQ(Show("# ?/?", -1.25), "-1 1/4");
  EXPECT_EQ(Show("# ?\?/??", 3.14159), "3 14/99");
  EXPECT_EQ(Show("# ??\?/???", 3.14159265358979), "3  16/113");
  EXPECT_EQ(Show("?/?", 1.5), "3/2");
  EXPECT_EQ(Show("?\?/??", 0.5), " 1/2 ");
  EXPECT_EQ(Show("# ?/4", 1.5), "1 2/4");
  EXPECT_EQ(Show("# ?\?/16", 0.75), " 12/16");
  EXPECT_EQ(Show("# ?/10", 0.75), " 8/10");
  EXPECT_EQ(Show("?/2", -1.25), "-3/2");
  EXPECT_EQ(Show("0 ?/?", 0.75), "0 3/4");
  EXPECT_EQ(Show("# ?/? \"in\"", 2.5), "2 1/2 in");
  // The fraction of a large number is the one its 15 digits show.
  EXPECT_EQ(Show("# ?\?/??", -7690703931295.057), "-7690703931295  3/50");
  EXPECT_EQ(Show("# ?/8", 1e15 + 0.5), "1000000000000000    ");
  // Terms of the continued fraction past 2^31 (0.97 is 97/100 and a tiny rest).
  EXPECT_EQ(Show("# ?\?/???", -0.97), "- 97/100");
  EXPECT_EQ(Show("?/???", 0.91), "91/100");
}

TEST(SectionTest, NegativeAndZeroSections) {
  EXPECT_EQ(Show("0;0", -5), "5");
  EXPECT_EQ(Show("0;-0", -5), "-5");
  EXPECT_EQ(Show("0;(0)", -0.4), "(0)");
  EXPECT_EQ(Show("0.00;(0.00);\"-\"", 0), "-");
  EXPECT_EQ(Show("0.00;(0.00);\"-\"", 0.001), "0.00");
  EXPECT_EQ(Show("\"pos\";\"neg\";\"zero\"", -5), "neg");
  EXPECT_EQ(Show(";;;", 5), "");
  EXPECT_EQ(Show("0;;0", -5), "");
  EXPECT_EQ(Show("0;\"minus \"0", -5), "minus 5");
  // "@" in a format shows numbers as General.
  EXPECT_EQ(Show("@", -3), "-3");
  EXPECT_EQ(Show("General;[Red]-General", -2.5), "-2.5");
  // A last section with "@" is the text section: numbers use the sections before it.
  EXPECT_EQ(Show("[$-409]m/d/yyyy;@", 45000), "3/15/2023");
  EXPECT_EQ(Show("[$-409]m/d/yyyy;@", -1), std::string(kDateOverflowText));
  EXPECT_EQ(Show("0.0;@", -2), "-2.0");
  EXPECT_EQ(NumberFormat("0.0;@").FormatText("t").text, "t");
}

TEST(SectionTest, Conditions) {
  const char* c = "[>=100]\"big\";[<0]\"neg\";0";
  EXPECT_EQ(Show(c, 150), "big");
  EXPECT_EQ(Show(c, -5), "neg");
  EXPECT_EQ(Show(c, 5), "5");
  EXPECT_EQ(Show("[<=99]0;\"x\"0", 99.4), "x99");  // the condition tests the value, not its text
  EXPECT_EQ(Show("[<=99]0;\"x\"0", -5), "-5");
  EXPECT_EQ(Show("[>100]0;0", -50), "-50");
  EXPECT_EQ(Show("[>=0]0;-0", -3), "-3");
  EXPECT_EQ(Show("[<-5]\"low\";[>5]\"high\";0", -3), "-3");
  EXPECT_EQ(Show("[<0]0.0;0", -2), "2.0");
  EXPECT_EQ(Show("0;[<0]\"neg\"", -7), "neg");
  EXPECT_EQ(Show("[<>1]0;\"one\"", 1), "one");
  EXPECT_EQ(Show("[=0]\"none\";0.0", 0), "none");
  EXPECT_EQ(Show("[<=9999999]###-####;(###) ###-####", 2125551234), "(212) 555-1234");
  EXPECT_EQ(Show("[<=9999999]###-####;(###) ###-####", 5551234), "555-1234");
}

TEST(SectionTest, Colours) {
  struct {
    const char* code;
    int index;
  } cases[] = {{"[Black]0", 8},   {"[White]0", 9},    {"[RED]0", 10},     {"[Green]0", 11},
               {"[Blue]0", 12},   {"[Yellow]0", 13},  {"[Magenta]0", 14}, {"[Cyan]0", 15},
               {"[Color1]0", 8},  {"[Color12]0", 19}, {"[color56]0", 63}, {"[Color57]0", -1},
               {"[Color0]0", -1}, {"0", -1}};
  for (const auto& c : cases)
    EXPECT_EQ(NumberFormat(c.code).Format(1, false).colorIndex, c.index) << c.code;
  NumberFormat f("#,##0.00;[Red](#,##0.00)");
  EXPECT_EQ(f.Format(-1234.5, false).colorIndex, 10);
  EXPECT_EQ(f.Format(-1234.5, false).text, "(1,234.50)");
  EXPECT_EQ(f.Format(1234.5, false).colorIndex, -1);
  NumberFormat g("[Blue][>100]0;[Red][<=100]0");
  EXPECT_EQ(g.Format(150, false).colorIndex, 12);
  EXPECT_EQ(g.Format(50, false).colorIndex, 10);
}

TEST(LiteralTest, QuotesEscapesPaddingFill) {
  EXPECT_EQ(Show("\"$\"#,##0.00", -1234.5), "-$1,234.50");
  EXPECT_EQ(Show("\\$0", 3), "$3");
  EXPECT_EQ(Show("0\\.0", 12), "1.2");  // text between placeholders of the integer part
  EXPECT_EQ(Show("0.0\\.", 12), "12.0.");
  EXPECT_EQ(Show("0.00_)", 1), "1.00 ");
  EXPECT_EQ(Show("#,##0.00 \xe2\x82\xac", 1234.5), "1,234.50 \xe2\x82\xac");
  // "*" fill: not in the text, reported with its place.
  Formatted f = NumberFormat("_(\"$\"* #,##0.00_)").Format(1234.5, false);
  EXPECT_EQ(f.text, " $1,234.50 ");
  EXPECT_EQ(f.fill, U' ');
  EXPECT_EQ(f.fillAt, 2u);
  f = NumberFormat("**0").Format(12, false);
  EXPECT_EQ(f.text, "12");
  EXPECT_EQ(f.fill, U'*');
  EXPECT_EQ(f.fillAt, 0u);
  f = NumberFormat("0*\xc2\xb7").Format(7, false);
  EXPECT_EQ(f.text, "7");
  EXPECT_EQ(f.fill, U'\u00b7');
  EXPECT_EQ(f.fillAt, 1u);
  EXPECT_EQ(NumberFormat("0").Format(7, false).fill, 0u);
}

TEST(TextTest, TextSection) {
  EXPECT_EQ(NumberFormat("@").FormatText("hello").text, "hello");
  EXPECT_EQ(NumberFormat("\"a\"@\"b\"").FormatText("txt").text, "atxtb");
  EXPECT_EQ(NumberFormat("0;0;0;\"T:\"@").FormatText("abc").text, "T:abc");
  EXPECT_EQ(NumberFormat("0").FormatText("as is").text, "as is");
  EXPECT_EQ(NumberFormat("0.00;-0.00").FormatText("plain").text, "plain");
  EXPECT_EQ(NumberFormat(";;;").FormatText("hidden").text, "");
  EXPECT_TRUE(NumberFormat(";;;").HidesAll());
  EXPECT_TRUE(NumberFormat("[Red];;;").HidesAll());
  for (const char* code : {";;", ";;;@", "0;;;", ";;;\" \"", "General"})
    EXPECT_FALSE(NumberFormat(code).HidesAll()) << code;
  EXPECT_EQ(NumberFormat("@ @").FormatText("dup").text, "dup dup");
  Formatted f = NumberFormat("0;0;0;[Magenta]\"<\"@\">\"").FormatText("x");
  EXPECT_EQ(f.text, "<x>");
  EXPECT_EQ(f.colorIndex, 14);
  EXPECT_EQ(NumberFormat("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)").FormatText("acct").text,
            " acct ");
}

TEST(DateTest, NineteenHundredSystem) {
  EXPECT_EQ(Show("yyyy-mm-dd", 1), "1900-01-01");
  EXPECT_EQ(Show("yyyy-mm-dd", 59), "1900-02-28");
  EXPECT_EQ(Show("yyyy-mm-dd", 60), "1900-02-29");
  EXPECT_EQ(Show("yyyy-mm-dd", 61), "1900-03-01");
  EXPECT_EQ(Show("d-mmm-yy", 0), "0-Jan-00");
  EXPECT_EQ(Show("dddd", 0), "Saturday");
  EXPECT_EQ(Show("dddd", 1), "Sunday");
  EXPECT_EQ(Show("dddd", 61), "Thursday");
  EXPECT_EQ(Show("yyyy-mm-dd", 45000), "2023-03-15");
  EXPECT_EQ(Show("dddd, mmmm d, yyyy", 44927), "Sunday, January 1, 2023");
  EXPECT_EQ(Show("yyyy-mm-dd", 2958465), "9999-12-31");
}

TEST(DateTest, OutOfRangeShowsHashes) {
  for (double v : {-1.0, -0.5, 2958466.0, 1e300}) {
    Formatted f = NumberFormat("yyyy-mm-dd h:mm").Format(v, false);
    EXPECT_EQ(f.text, kDateOverflowText) << v;
    EXPECT_TRUE(f.overflow);
  }
  EXPECT_TRUE(NumberFormat("[h]:mm").Format(-0.5, false).overflow);
  EXPECT_TRUE(NumberFormat("yyyy-mm-dd").Format(2957004, true).overflow);
  EXPECT_FALSE(NumberFormat("yyyy-mm-dd").Format(2958465.99999, false).overflow);
  // A time that rounds up past the last second of 9999-12-31.
  EXPECT_TRUE(NumberFormat("yyyy-mm-dd").Format(2958465.999999999, false).overflow);
}

TEST(DateTest, NineteenOhFourSystem) {
  EXPECT_EQ(Show("yyyy-mm-dd", 0, true), "1904-01-01");
  EXPECT_EQ(Show("dddd", 0, true), "Friday");
  EXPECT_EQ(Show("yyyy-mm-dd", 1462, true), "1908-01-02");
  EXPECT_EQ(Show("yyyy-mm-dd", 2957003, true), "9999-12-31");
  EXPECT_EQ(Show("[h]:mm", -1.5, true), "-36:00");
  EXPECT_EQ(Show("0.00", -1.5, true), "-1.50");
}

TEST(DateTest, TimesAndMinutes) {
  EXPECT_EQ(Show("h:mm:ss", 0.5000058), "12:00:01");
  EXPECT_EQ(Show("h:mm:ss", 0.99999999), "0:00:00");
  EXPECT_EQ(Show("yyyy-mm-dd", 45000.999999), "2023-03-16");
  EXPECT_EQ(Show("h:m", 0.0409722222222222), "0:59");
  EXPECT_EQ(Show("mm:ss", 0.0409722222222222), "59:00");
  EXPECT_EQ(Show("m/d/yyyy", 45000), "3/15/2023");
  EXPECT_EQ(Show("h \"h\" mm", 0.5), "12 h 00");  // after an hour, text between
  EXPECT_EQ(Show("mm\"/\"dd", 45000), "03/15");
  EXPECT_EQ(Show("mmmmm", 45000), "M");
  EXPECT_EQ(Show("h:mm AM/PM", 0), "12:00 AM");
  EXPECT_EQ(Show("h:mm AM/PM", 0.75), "6:00 PM");
  EXPECT_EQ(Show("hh:mm am/pm", 0.25), "06:00 am");
  EXPECT_EQ(Show("h A/P", 0.75), "6 P");
  EXPECT_EQ(Show("h a/p", 0.25), "6 a");
  EXPECT_EQ(Show("[h]:mm:ss", 100.25), "2406:00:00");
  EXPECT_EQ(Show("[mm]:ss", 1.75), "2520:00");
  EXPECT_EQ(Show("[s]", 0.5), "43200");
  EXPECT_EQ(Show("h:mm:ss.000", 0.5 + 0.1234 / 86400), "12:00:00.123");
  EXPECT_EQ(Show("mm:ss.0", 0.00000578703703), "00:00.5");
  EXPECT_EQ(Show("ss.00", 59.9999 / 86400), "00.00");           // rounds into the next minute
  EXPECT_EQ(Show("yy yyyy e ee", 45000), "23 2023 2023 2023");  // without a Japanese locale
  EXPECT_EQ(Show("ggg yyyy", 45000), " 2023");                  // eras are not shown
  EXPECT_EQ(Show("mmmm\\ yy\\ mm", 45000), "March 23 03");
  EXPECT_EQ(Show("0 \"g\"", 1), "1 g");
}

TEST(DateTest, JapaneseErasUnderAJapaneseLocale) {
  const std::string nen = "\xe5\xb9\xb4", gatsu = "\xe6\x9c\x88", nichi = "\xe6\x97\xa5";
  const std::string code = "ggge\"" + nen + "\"m\"" + gatsu + "\"d\"" + nichi + "\"";
  const std::string reiwa3 =
      "\xe4\xbb\xa4\xe5\x92\x8c"
      "3" +
      nen + "1" + gatsu + "1" + nichi;
  EXPECT_EQ(Show("[$-411]" + code, 44197), reiwa3);
  EXPECT_EQ(Show("[$-ja-JP]" + code, 44197), reiwa3);
  EXPECT_EQ(Show("[$-ja-JP-x-gannen]" + code, 44197), reiwa3);
  EXPECT_EQ(Show("[$-30411]" + code, 44197), reiwa3);
  EXPECT_EQ(Show("[$-412]" + code, 44197), "2021" + nen + "1" + gatsu + "1" + nichi);
  // Each era's last day and the next era's first, in each of the three lengths of name.
  const char* code2 = "[$-411]g ee/gg e/ggg e";
  EXPECT_EQ(Show(code2, 1), "M 33/\xe6\x98\x8e 33/\xe6\x98\x8e\xe6\xb2\xbb 33");  // 1900-01-01
  EXPECT_EQ(Show(code2, 4594), "M 45/\xe6\x98\x8e 45/\xe6\x98\x8e\xe6\xb2\xbb 45");
  EXPECT_EQ(Show(code2, 4595), "T 01/\xe5\xa4\xa7 1/\xe5\xa4\xa7\xe6\xad\xa3 1");
  EXPECT_EQ(Show(code2, 9855), "T 15/\xe5\xa4\xa7 15/\xe5\xa4\xa7\xe6\xad\xa3 15");
  EXPECT_EQ(Show(code2, 9856), "S 01/\xe6\x98\xad 1/\xe6\x98\xad\xe5\x92\x8c 1");
  EXPECT_EQ(Show(code2, 32515), "S 64/\xe6\x98\xad 64/\xe6\x98\xad\xe5\x92\x8c 64");
  EXPECT_EQ(Show(code2, 32516), "H 01/\xe5\xb9\xb3 1/\xe5\xb9\xb3\xe6\x88\x90 1");
  EXPECT_EQ(Show(code2, 43585), "H 31/\xe5\xb9\xb3 31/\xe5\xb9\xb3\xe6\x88\x90 31");
  EXPECT_EQ(Show(code2, 43586), "R 01/\xe4\xbb\xa4 1/\xe4\xbb\xa4\xe5\x92\x8c 1");
  // The locale holds for the sections after it; "yyyy" stays the Western year.
  EXPECT_EQ(Show("[$-411]yyyy;[Red]ge.m.d", -42124, true), "R1.5.1");
  EXPECT_EQ(Show("[$-411]yyyy ge", 43586), "2019 R1");
  EXPECT_EQ(Show("[$-411]ggg", 43586), "\xe4\xbb\xa4\xe5\x92\x8c");
}

TEST(DateTest, SystemDateAndTimeTags) {
  EXPECT_EQ(Show("[$-F800]dddd, mmmm dd, yyyy", 45000.5), "Wednesday, March 15, 2023");
  EXPECT_EQ(Show("[$-F800]", 45000.5), "Wednesday, March 15, 2023");
  EXPECT_EQ(Show("[$-F400]h:mm:ss AM/PM", 45000.75), "6:00:00 PM");
  EXPECT_EQ(Show("[$-x-sysdate]dddd, mmmm dd, yyyy", 45000.5), "Wednesday, March 15, 2023");
  EXPECT_EQ(Show("[$-x-systime]h:mm:ss AM/PM", 45000.75), "6:00:00 PM");
  EXPECT_EQ(Show("[Red][$-F800]", 45000.5), "Wednesday, March 15, 2023");
  EXPECT_EQ(Show("[$-409]mmmm d, yyyy", 45000), "March 15, 2023");
  EXPECT_TRUE(NumberFormat("[$-F800]dddd, mmmm dd, yyyy").IsDateTime());
  EXPECT_TRUE(NumberFormat("h:mm").IsDateTime());
  EXPECT_TRUE(NumberFormat("[h]").IsDateTime());
  EXPECT_FALSE(NumberFormat("0.00").IsDateTime());
  EXPECT_FALSE(NumberFormat("\"day\" 0").IsDateTime());
  EXPECT_FALSE(NumberFormat("General").IsDateTime());
}

TEST(LocaleTest, CurrencyTags) {
  EXPECT_EQ(Show("[$\xe2\x82\xac-407]#,##0.00", 1234.5),
            "\xe2\x82\xac"
            "1,234.50");
  EXPECT_EQ(Show("#,##0.00 [$\xe2\x82\xac-407]", -1234.5), "-1,234.50 \xe2\x82\xac");
  EXPECT_EQ(Show("[$$-409]#,##0.00", 0.125), "$0.13");
  EXPECT_EQ(Show("[$CHF-807] #,##0.00", 1), "CHF 1.00");
  EXPECT_EQ(Show("[$USD]0", 1), "USD1");
  EXPECT_EQ(Show("[DBNum1]0", 1), "1");  // unknown tags are ignored
}

TEST(BuiltinTest, TableAndCodes) {
  EXPECT_EQ(BuiltinFormat(0), "General");
  EXPECT_EQ(BuiltinFormat(14), "m/d/yyyy");
  EXPECT_EQ(BuiltinFormat(49), "@");
  EXPECT_EQ(BuiltinFormat(23), "");
  EXPECT_EQ(BuiltinFormat(50), "");
  for (uint16_t i = 0; i < 50; ++i) {
    std::string_view code = BuiltinFormat(i);
    if (code.empty()) continue;
    bool date = (i >= 14 && i <= 22) || (i >= 45 && i <= 47);
    EXPECT_EQ(NumberFormat(code).IsDateTime(), date) << i;
  }
  std::map<uint16_t, std::string> custom{{164, "0.0"}, {5, "0.000"}};
  FormatTable table(custom);
  EXPECT_EQ(table.Code(164), "0.0");
  EXPECT_EQ(table.Code(5), "0.000");
  EXPECT_EQ(table.Code(3), "#,##0");
  EXPECT_EQ(table.Code(30), "General");
  EXPECT_EQ(table.Code(999), "General");
  const NumberFormat& a = table.Get(164);
  EXPECT_EQ(&a, &table.Get(164));
  EXPECT_EQ(a.Format(2.25, false).text, "2.3");
  EXPECT_EQ(table.Get(4).Format(-1234.567, false).text, "-1,234.57");
  EXPECT_EQ(table.Get(7).Format(-1234.567, false).text, "($1,234.57)");
  EXPECT_EQ(table.Get(8).Format(-1, false).colorIndex, 10);
  EXPECT_EQ(table.Get(44).Format(0, false).text, " $-   ");
}

TEST(RobustnessTest, OddCodesNeverFail) {
  const char* codes[] = {"",
                         "\"unterminated",
                         "[Red",
                         "[",
                         "]",
                         ";",
                         ";;;;;;",
                         "\\",
                         "_",
                         "*",
                         "0.0.0",
                         "E+",
                         "0E+",
                         "/",
                         "?/",
                         "# ?/0",
                         "[<]0",
                         "[>=abc]0",
                         "[$]0",
                         "[$-]0",
                         "[hh",
                         "0%%%%%%%%%%",
                         "0,,,,,,,,,",
                         "mmmmmmmm",
                         "yyyyyyy",
                         "\xff\xfe",
                         "\xe2\x82",
                         "0*",
                         "[h][m][s]",
                         "s.000000",
                         ".0000000000000000000000000000000000000000000000000000000000000000000"};
  for (const char* code : codes) {
    NumberFormat f(code);
    for (double v : {0.0, -1.5, 1e308, -1e-308, 45000.5, 1e20, 12.345}) {
      Formatted r = f.Format(v, false);
      EXPECT_LE(r.text.size(), 4096u) << code;
      EXPECT_LE(r.fillAt, r.text.size()) << code;
    }
    f.FormatText("t");
  }
  // Random codes made of the format language's pieces.
  const char* pieces[] = {
      "0",        "#",       "?",       ".",      ",",     "%",    "E+",
      "e-",       "/",       "@",       ";",      "\"x\"", "\\",   "_",
      "*",        "[Red]",   "[>5]",    "[<=-1]", "[h]",   "[mm]", "[$\xe2\x82\xac-407]",
      "[$-F800]", "y",       "m",       "d",      "h",     "s",    "AM/PM",
      "A/P",      " ",       "General", "1",      "8",     "[",    "]",
      "\"",       "\xc3\xa9"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(pieces)) - 1);
  std::uniform_int_distribution<int> len(1, 14);
  const double values[] = {0.0, -0.5, 1.5, -1234.5678, 45000.75, 1e15, -1e-7, 2958466.0, 1e300};
  for (int i = 0; i < 3000; ++i) {
    std::string code;
    for (int k = len(rng); k > 0; --k) code += pieces[pick(rng)];
    NumberFormat f(code);
    for (double v : values) {
      Formatted r = f.Format(v, i % 2 == 1);
      ASSERT_LE(r.text.size(), 2000u) << code;
      ASSERT_LE(r.fillAt, r.text.size()) << code;
    }
    f.FormatText("text");
  }
  EXPECT_EQ(Show("", 1.5), "1.5");  // an empty code is General
  std::string huge(5000, '0');
  EXPECT_EQ(Show(huge, 1).size(), 5000u);
  EXPECT_EQ(Show("0", 1e308).size(), 309u);
  EXPECT_EQ(Show("0" + std::string(200, '%'), 1e308),
            "1" + std::string(708, '0') + std::string(200, '%'));
  EXPECT_EQ(Show("0." + std::string(400, '0'), 1).size(), 402u);
  EXPECT_EQ(Show("# ?/?", 1e300), "1" + std::string(300, '0') + "    ");
  EXPECT_EQ(Show("?/???????", 1e300), "1" + std::string(300, '0') + "/1      ");
  EXPECT_EQ(Show("?/???????", 123456789012.5), "246913578025/2      ");
}

}  // namespace
}  // namespace quillane::format
