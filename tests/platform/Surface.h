#pragma once
// A colour drawing surface for pixel tests: a memory context with a colour bitmap selected.
#include <string>
#include <vector>

#include "platform/Gdi.h"

namespace quillane::test {

namespace p = quillane::platform;

class Surface {
 public:
  Surface(int w, int h, p::COLORREF fill = 0xFFFFFF) : w_(w), h_(h) {
    const p::HDC screen = p::GetDC(0);
    dc_ = p::CreateCompatibleDC(screen);
    bmp_ = p::CreateCompatibleBitmap(screen, w, h);
    old_ = p::SelectObject(dc_, bmp_);
    Fill(fill);
  }
  ~Surface() {
    p::SelectObject(dc_, old_);
    p::DeleteObject(bmp_);
    p::DeleteDC(dc_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  p::HDC dc() const { return dc_; }
  p::HBITMAP bitmap() const { return bmp_; }
  int width() const { return w_; }
  int height() const { return h_; }
  p::COLORREF at(int x, int y) const { return p::GetPixel(dc_, x, y); }
  void Fill(p::COLORREF c) {
    const p::HBRUSH b = p::CreateSolidBrush(c);
    const p::RECT rc{0, 0, w_, h_};
    p::FillRect(dc_, &rc, b);
    p::DeleteObject(b);
  }
  // Rows of characters from a legend: each pixel's colour looked up in `colours`, '?' if absent.
  std::vector<std::string> Map(const std::vector<std::pair<char, p::COLORREF>>& colours) const {
    std::vector<std::string> rows;
    for (int y = 0; y < h_; ++y) {
      std::string row;
      for (int x = 0; x < w_; ++x) {
        char ch = '?';
        for (const auto& [c, v] : colours)
          if (at(x, y) == v) {
            ch = c;
            break;
          }
        row += ch;
      }
      rows.push_back(row);
    }
    return rows;
  }
  // Pixels of exactly this colour.
  int Count(p::COLORREF c) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) n += at(x, y) == c;
    return n;
  }

 private:
  int w_, h_;
  p::HDC dc_ = 0;
  p::HBITMAP bmp_ = 0;
  p::HGDIOBJ old_ = 0;
};

}  // namespace quillane::test
