// Charts on the page: an SVG file of the folder each, listed and placed at its anchor with a
// text alternative; a chart that cannot be drawn is left out and counted.
#include <gtest/gtest.h>

#include "spreadsheet/publish/PagePublisher.h"

using namespace quillane;

TEST(PageCharts, ChartsArePlacedListedAndCountedWhenLeftOut) {
  model::Workbook book;
  book.fonts.emplace_back();
  book.styles.resize(1);
  model::Sheet& sheet = book.sheets.emplace_back();
  sheet.name = "Data";
  sheet.columns.push_back({5, 5, 0, 0, true});  // column F hidden
  model::Chart c;
  c.anchor = {1, 0, 1, 0, 4, 512, 11, 0};  // B2 to the middle of E, row 12
  c.title.text = "Sales <2024>";
  model::ChartGroup g;
  g.series.emplace_back().values.numbers = {1, 2, 3};
  c.groups.push_back(g);
  model::Chart hidden = c;
  hidden.anchor = {5, 0, 1, 0, 5, 1000, 11, 0};  // inside the hidden column
  model::Chart untitled = c;
  untitled.title.text.clear();
  untitled.groups[0].kind = model::ChartKind::Pie;
  sheet.charts = {c, hidden, untitled};
  sheet.Normalize();
  const publish::Page page = publish::RenderSheet(book, 0, "b_1.files", "b_1.htm");
  EXPECT_EQ(page.chartsDrawn, 2);
  ASSERT_EQ(page.chartsLeftOut.size(), 1u);
  ASSERT_EQ(page.files.size(), 3u);
  EXPECT_EQ(page.files[0].name, "image001.svg");
  EXPECT_EQ(page.files[1].name, "image002.svg");
  const std::string svg(page.files[0].bytes.begin(), page.files[0].bytes.end());
  EXPECT_NE(svg.find("width=\"224\" height=\"170\""), std::string::npos);
  const std::string list(page.files[2].bytes.begin(), page.files[2].bytes.end());
  EXPECT_NE(list.find("<file href=\"image002.svg\"/>"), std::string::npos);
  EXPECT_NE(page.html.find("<img src=\"b_1.files/image001.svg\" alt=\"Sales &lt;2024&gt;: column "
                           "chart\" style=\"left:64px;top:17px;width:224px;height:170px\">"),
            std::string::npos)
      << page.html;
  EXPECT_NE(page.html.find("alt=\"Pie chart\""), std::string::npos);
}
