#include "files/WideNames.h"

#ifdef _WIN32
#include <windows.h>

#include <cerrno>
#include <cwchar>

namespace quillane::files {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

}  // namespace quillane::files

// The C library's multibyte conversion, which std::filesystem::path uses for narrow texts, as
// UTF-8. A character past U+FFFF is two UTF-16 units: its first three bytes give the high
// surrogate and leave the low one in the state, which the fourth byte then gives.
extern "C" {

// Named by the link options of the files library, so that this object is always linked.
int quillane_utf8_names = 1;

size_t mbrtowc(wchar_t* out, const char* in, size_t n, mbstate_t* state) {
  static mbstate_t internal = 0;
  if (!state) state = &internal;
  if (!in) {
    *state = 0;
    return 0;
  }
  if (n == 0) return static_cast<size_t>(-2);
  const auto b0 = static_cast<unsigned char>(in[0]);
  if (*state != 0) {  // the low surrogate of a character begun by the call before
    if ((b0 & 0xC0) != 0x80) {
      errno = EILSEQ;
      return static_cast<size_t>(-1);
    }
    if (out) *out = static_cast<wchar_t>(*state);
    *state = 0;
    return 1;
  }
  if (b0 < 0x80) {
    if (out) *out = static_cast<wchar_t>(b0);
    return b0 ? 1 : 0;
  }
  const size_t length = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
  if (length == 0 || b0 > 0xF4) {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  if (n < length) return static_cast<size_t>(-2);
  unsigned long cp = b0 & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(in[k]);
    if ((b & 0xC0) != 0x80) {
      errno = EILSEQ;
      return static_cast<size_t>(-1);
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  if (cp < 0x10000) {
    if (out) *out = static_cast<wchar_t>(cp);
    return length;
  }
  cp -= 0x10000;
  if (out) *out = static_cast<wchar_t>(0xD800 + (cp >> 10));
  *state = static_cast<mbstate_t>(0xDC00 + (cp & 0x3FF));
  return 3;
}

size_t wcrtomb(char* out, wchar_t unit, mbstate_t* state) {
  static mbstate_t internal = 0;
  if (!state) state = &internal;
  char buffer[4];
  if (!out) {
    out = buffer;
    unit = L'\0';
  }
  unsigned long cp = static_cast<unsigned long>(unit);
  if (*state != 0) {  // a high surrogate waits for its low one
    const unsigned long high = static_cast<unsigned long>(*state);
    *state = 0;
    if (cp < 0xDC00 || cp > 0xDFFF) {
      errno = EILSEQ;
      return static_cast<size_t>(-1);
    }
    cp = 0x10000 + ((high - 0xD800) << 10) + (cp - 0xDC00);
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
  }
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    *state = static_cast<mbstate_t>(cp);
    return 0;
  }
  if (cp >= 0xDC00 && cp <= 0xDFFF) {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (cp >> 12));
  out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (cp & 0x3F));
  return 3;
}

}  // extern "C"
#endif
