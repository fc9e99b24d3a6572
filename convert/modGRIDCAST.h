// The conversion of one workbook over the spreadsheet engine.
#pragma once

namespace quillane::convert {

bool StartExcel();
void QuitExcel();

}  // namespace quillane::convert
