// Text of workbook records: UTF-16LE and 8-bit strings to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/Utf8.h"

namespace quillane::biff {

using support::AppendUtf8;
// Appends UTF-16LE text (`units` code units at `data`); unpaired surrogates become U+FFFD.
void AppendUtf16(std::string& out, const uint8_t* data, size_t units);
// Appends 8-bit text whose bytes are the code points U+0000..U+00FF (the "compressed" strings of
// the newer format).
void AppendLatin1(std::string& out, const uint8_t* data, size_t length);

// Decodes the 8-bit strings of the older formats through the workbook's code page (CODEPAGE).
// One converter is opened per decoder and kept until the code page changes.
class CodepageDecoder {
 public:
  CodepageDecoder();
  ~CodepageDecoder();
  CodepageDecoder(const CodepageDecoder&) = delete;
  CodepageDecoder& operator=(const CodepageDecoder&) = delete;

  void SetCodepage(uint16_t codepage);
  uint16_t Codepage() const { return codepage_; }
  // Appends `length` bytes of text in the code page as UTF-8. Bytes the code page does not map
  // become U+FFFD.
  void Append(std::string& out, const uint8_t* data, size_t length);
  std::string Decode(const uint8_t* data, size_t length) {
    std::string out;
    Append(out, data, length);
    return out;
  }

 private:
  void Open();
  uint16_t codepage_ = 1252;
  bool latin1_ = false;    // decode bytes as U+0000..U+00FF without a converter
  void* iconv_ = nullptr;  // iconv_t, opened on first use
  bool opened_ = false;
};

}  // namespace quillane::biff
