// Data styles as format codes, and the text the number-format engine then shows.
#include <gtest/gtest.h>

#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/ods/OdsReader.h"
#include "tests/spreadsheet/ods/OdsTestDocument.h"

using namespace quillane;

namespace {

// The format code and the shown text of `value` in a cell of data style "S" defined by `styles`.
std::pair<std::string, std::string> Shown(const std::string& styles, const std::string& value,
                                          const std::string& type = "float") {
  const std::string attribute = type == "date"   ? "office:date-value"
                                : type == "time" ? "office:time-value"
                                                 : "office:value";
  const std::string doc = quillane::testing::FlatDocument(
      "<table:table table:name=\"T\"><table:table-row><table:table-cell table:style-name=\"C\""
      " office:value-type=\"" +
          type + "\" " + attribute + "=\"" + value + "\"/></table:table-row></table:table>",
      styles +
          "<style:style style:name=\"C\" style:family=\"table-cell\" "
          "style:data-style-name=\"S\"/>");
  const model::Workbook book = ods::ReadFlatOpenDocument(quillane::testing::Bytes(doc));
  const model::Cell& cell = book.sheets[0].cells.at(0);
  const std::string& code = book.Style(cell.style).numberFormat;
  return {code, format::NumberFormat(code).Format(cell.number, book.date1904).text};
}

}  // namespace

TEST(OdsDataStyle, NumbersPercentagesCurrenciesAndSections) {
  EXPECT_EQ(
      Shown(R"(<number:number-style style:name="S"><number:number number:decimal-places="2")"
            R"( number:min-integer-digits="1" number:grouping="true"/></number:number-style>)",
            "1234.5"),
      std::make_pair(std::string("#,##0.00"), std::string("1,234.50")));
  EXPECT_EQ(Shown(R"(<number:number-style style:name="S"><number:number/></number:number-style>)",
                  "0.125")
                .first,
            "General");
  EXPECT_EQ(Shown(R"(<number:number-style style:name="S"><number:number number:grouping="true"/>)"
                  R"(</number:number-style>)",
                  "7698")
                .second,
            "7,698");
  EXPECT_EQ(
      Shown(R"(<number:percentage-style style:name="S"><number:number number:decimal-places="1")"
            R"( number:min-integer-digits="1"/><number:text> %</number:text>)"
            R"(</number:percentage-style>)",
            "0.256")
          .second,
      "25.6 %");
  // A negative section with its own sign and colour, mapped from the positive one.
  const std::string currency =
      R"(<number:currency-style style:name="SP0"><number:number number:decimal-places="2")"
      R"( number:min-integer-digits="1" number:grouping="true"/><number:text> </number:text>)"
      R"(<number:currency-symbol>€</number:currency-symbol></number:currency-style>)"
      R"(<number:currency-style style:name="S"><style:text-properties fo:color="#ff0000"/>)"
      R"(<number:text>-</number:text><number:number number:decimal-places="2")"
      R"( number:min-integer-digits="1" number:grouping="true"/><number:text> </number:text>)"
      R"(<number:currency-symbol>€</number:currency-symbol>)"
      R"(<style:map style:condition="value()&gt;=0" style:apply-style-name="SP0"/></number:currency-style>)";
  EXPECT_EQ(Shown(currency, "-1234.5").first, "#,##0.00\" \"\"€\";[Red]\"-\"#,##0.00\" \"\"€\"");
  EXPECT_EQ(Shown(currency, "-1234.5").second, "-1,234.50 €");
  EXPECT_EQ(Shown(currency, "2").second, "2.00 €");
  EXPECT_EQ(Shown(R"(<number:number-style style:name="S"><number:scientific-number)"
                  R"( number:decimal-places="2" number:min-integer-digits="1")"
                  R"( number:min-exponent-digits="2"/></number:number-style>)",
                  "12345")
                .second,
            "1.23E+04");
  EXPECT_EQ(
      Shown(R"(<number:number-style style:name="S"><number:fraction number:min-integer-digits="0")"
            R"( number:min-numerator-digits="1" number:min-denominator-digits="1"/>)"
            R"(</number:number-style>)",
            "2.5")
          .second,
      "2 1/2");
  EXPECT_EQ(Shown(R"(<number:text-style style:name="S"><number:text>[</number:text>)"
                  R"(<number:text-content/><number:text>]</number:text></number:text-style>)",
                  "3")
                .first,
            "\"[\"@\"]\"");
}

TEST(OdsDataStyle, DatesTimesAndDurations) {
  EXPECT_EQ(
      Shown(
          R"(<number:date-style style:name="S"><number:day-of-week number:style="long"/>)"
          R"(<number:text>, </number:text><number:day/><number:text> </number:text>)"
          R"(<number:month number:textual="true" number:style="long"/><number:text> </number:text>)"
          R"(<number:year number:style="long"/><number:text> </number:text>)"
          R"(<number:hours number:style="long"/><number:text>:</number:text>)"
          R"(<number:minutes number:style="long"/></number:date-style>)",
          "2024-03-01T13:05:00", "date")
          .second,
      "Friday, 1 March 2024 13:05");
  EXPECT_EQ(
      Shown(R"(<number:time-style style:name="S" number:truncate-on-overflow="false">)"
            R"(<number:hours/><number:text>:</number:text><number:minutes number:style="long"/>)"
            R"(<number:text>:</number:text><number:seconds number:style="long")"
            R"( number:decimal-places="1"/></number:time-style>)",
            "PT26H03M04.5S", "time")
          .second,
      "26:03:04.5");
  EXPECT_EQ(
      Shown(R"(<number:time-style style:name="S"><number:hours/><number:text>:</number:text>)"
            R"(<number:minutes number:style="long"/><number:text> </number:text><number:am-pm/>)"
            R"(</number:time-style>)",
            "PT15H30M00S", "time")
          .second,
      "3:30 PM");
}
