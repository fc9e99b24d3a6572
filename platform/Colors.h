#pragma once
#include <cstdint>
namespace quillane::platform {
int32_t TranslateOleColor(int32_t color);
}
