#include "spreadsheet/biff/Text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>
#include <string>
#include <vector>

namespace quillane::biff {

void AppendUtf16(std::string& out, const uint8_t* data, size_t units) {
  out.reserve(out.size() + units);
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units) {
      uint32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
    AppendUtf8(out, u);
  }
}

void AppendLatin1(std::string& out, const uint8_t* data, size_t length) {
  out.reserve(out.size() + length);
  for (size_t i = 0; i < length; ++i) {
    uint8_t b = data[i];
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
}

CodepageDecoder::CodepageDecoder() = default;

#ifdef _WIN32
// Windows has the code pages itself: a converter is only the code page's number.
namespace {
using iconv_t = void*;
void iconv_close(iconv_t) {}
}  // namespace
#endif

CodepageDecoder::~CodepageDecoder() {
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

void CodepageDecoder::SetCodepage(uint16_t codepage) {
  if (codepage == codepage_ && (opened_ || latin1_)) return;
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
  iconv_ = nullptr;
  opened_ = false;
  latin1_ = false;
  codepage_ = codepage;
}

#ifndef _WIN32
namespace {
std::string IconvName(uint16_t codepage) {
  switch (codepage) {
    case 367:
      return "ASCII";
    case 10000:
    case 32768:
      return "MACINTOSH";
    case 10006:
      return "MACGREEK";
    case 10007:
      return "MACCYRILLIC";
    case 10029:
      return "MACCENTRALEUROPE";
    case 10079:
      return "MACICELAND";
    case 10081:
      return "MACTURKISH";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 28591:
      return "ISO-8859-1";
    case 65001:
      return "UTF-8";
    case 32769:
      return "CP1252";  // the old Windows code page of BIFF2-4
    default:
      return "CP" + std::to_string(codepage);
  }
}
}  // namespace
#endif

void CodepageDecoder::Open() {
  opened_ = true;
  // 1200 (UTF-16) names the newer format's own strings; its 8-bit strings are then Latin-1.
  if (codepage_ == 1200 || codepage_ == 21010) {
    latin1_ = true;
    return;
  }
#ifdef _WIN32
  UINT windows = codepage_ == 367     ? 20127
                 : codepage_ == 32768 ? 10000
                 : codepage_ == 32769 ? 1252
                                      : codepage_;
  if (!IsValidCodePage(windows)) windows = 1252;
  if (!IsValidCodePage(windows)) {
    latin1_ = true;
    return;
  }
  iconv_ = reinterpret_cast<void*>(static_cast<uintptr_t>(windows));
#else
  iconv_t cd = iconv_open("UTF-8", IconvName(codepage_).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    latin1_ = true;
    return;
  }
  iconv_ = cd;
#endif
}

void CodepageDecoder::Append(std::string& out, const uint8_t* data, size_t length) {
  size_t i = 0;
  // Plain ASCII is the same in every code page the format uses.
  while (i < length && data[i] < 0x80) ++i;
  out.append(reinterpret_cast<const char*>(data), i);
  if (i == length) return;
  if (!opened_) Open();
  if (latin1_ || !iconv_) {
    AppendLatin1(out, data + i, length - i);
    return;
  }
#ifdef _WIN32
  const UINT windows = static_cast<UINT>(reinterpret_cast<uintptr_t>(iconv_));
  const char* rest = reinterpret_cast<const char*>(data + i);
  const int restLength = static_cast<int>(length - i);
  std::vector<wchar_t> wide(static_cast<size_t>(restLength) + 1);
  const int units =
      MultiByteToWideChar(windows, 0, rest, restLength, wide.data(), static_cast<int>(wide.size()));
  AppendUtf16(out, reinterpret_cast<const uint8_t*>(wide.data()), static_cast<size_t>(units));
#else
  iconv_t cd = static_cast<iconv_t>(iconv_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(data + i));
  size_t inLeft = length - i;
  char buffer[512];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An unmapped or incomplete byte: replace it and go on after it.
      AppendUtf8(out, 0xFFFD);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
#endif
}

}  // namespace quillane::biff
