#include "gfx/clsLogFont.h"

#include <algorithm>
#include <cstring>

#include "gfx/basGDI.h"
#include "platform/Gdi.h"

namespace quillane::gfx {

namespace p = quillane::platform;

clsLogFont::~clsLogFont() {
  DeleteHandle();
  font_.reset();
}

void clsLogFont::DeleteHandle() {
  if (handle_ != 0) {
    p::DeleteObject(handle_);
    handle_ = 0;
  }
}

void clsLogFont::SetLogFont(const std::optional<p::StdFont>& font) {
  DeleteHandle();
  if (!font) {
    font_.reset();
    return;
  }
  // Copied field by field, the weight last, so the copy's weight equals the source's even though
  // bold and weight are linked.
  p::StdFont copy;
  copy.SetBold(font->Bold());
  copy.SetCharset(font->Charset());
  copy.SetItalic(font->Italic());
  copy.SetName(font->Name());
  copy.SetSizeUnits(font->SizeUnits());
  copy.SetStrikethrough(font->Strikethrough());
  copy.SetUnderline(font->Underline());
  copy.SetWeight(font->Weight());
  font_ = std::move(copy);
  MakeHandle();
}

void clsLogFont::SetRotation(float angle) {
  if (angle == rotation_) return;
  rotation_ = angle;
  DeleteHandle();
  if (font_) MakeHandle();
}

void clsLogFont::MakeHandle() {
  const p::HDC screen = p::GetDC(0);
  const int dpi = p::GetDeviceCaps(screen, p::LOGPIXELSY);
  p::LOGFONT lf;
  lf.lfHeight = -RoundHalfEven(static_cast<double>(font_->SizeUnits()) * dpi / (72.0 * 10000.0));
  lf.lfWidth = 0;
  lf.lfEscapement = RoundHalfEven(static_cast<double>(rotation_) * 10);
  lf.lfOrientation = lf.lfEscapement;
  lf.lfWeight = font_->Weight();
  lf.lfItalic = font_->Italic() ? 1 : 0;
  lf.lfUnderline = font_->Underline() ? 1 : 0;
  lf.lfStrikeOut = font_->Strikethrough() ? 1 : 0;
  const bool turned = RoundHalfEven(rotation_) % 360 != 0;
  lf.lfCharSet = static_cast<std::uint8_t>(font_->Charset());
  if (turned && lf.lfCharSet == p::OEM_CHARSET) lf.lfCharSet = p::ANSI_CHARSET;
  lf.lfOutPrecision = turned ? p::OUT_TT_ONLY_PRECIS : p::OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = 0;
  lf.lfQuality = p::PROOF_QUALITY;
  lf.lfPitchAndFamily = 0;
  const std::string& name = font_->Name();
  std::memcpy(lf.lfFaceName, name.data(), std::min<std::size_t>(name.size(), p::LF_FACESIZE - 1));
  handle_ = p::CreateFontIndirect(lf);
  p::ReleaseDC(0, screen);
}

}  // namespace quillane::gfx
