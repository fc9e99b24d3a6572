#include "platform/Colors.h"
namespace quillane::platform {
int32_t TranslateOleColor(int32_t color) { return color; }
}
