#include "convert/modGRIDCAST.h"

namespace quillane::convert {

bool StartExcel() { return true; }
void QuitExcel() {}

}  // namespace quillane::convert
