#include "spreadsheet/biff/Records.h"

#include <algorithm>

#include "spreadsheet/biff/Text.h"

namespace quillane::biff {

void ContinuedReader::Chars(size_t count, bool wide, std::string& out) {
  while (count > 0) {
    if (piece_ >= pieces_.size()) throw ShortRecord{};
    if (pos_ >= pieces_[piece_].size()) {
      // The characters go on in the next piece, which starts with its own option byte.
      ++piece_;
      pos_ = 0;
      if (piece_ >= pieces_.size() || pieces_[piece_].empty()) throw ShortRecord{};
      wide = (pieces_[piece_][pos_++] & 1) != 0;
      continue;
    }
    std::span<const uint8_t> piece = pieces_[piece_];
    size_t width = wide ? 2 : 1;
    size_t avail = (piece.size() - pos_) / width;
    if (avail == 0) throw ShortRecord{};  // half a character at the end of a piece
    size_t take = std::min(count, avail);
    if (wide) {
      AppendUtf16(out, piece.data() + pos_, take);
    } else {
      AppendLatin1(out, piece.data() + pos_, take);
    }
    pos_ += take * width;
    count -= take;
  }
}

}  // namespace quillane::biff
