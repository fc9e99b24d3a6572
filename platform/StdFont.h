#pragma once
// A font description as the controls keep it: face name, size in points (four decimal places),
// bold, italic, underline, strikethrough, weight and character set. Bold and weight are linked:
// setting bold sets the weight to 700 or 400, and a weight of 600 or more reads as bold.
#include <cstdint>
#include <string>

namespace quillane::platform {

class StdFont {
 public:
  StdFont() = default;
  StdFont(std::string name, double size) : name_(std::move(name)) { SetSize(size); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // Points; stored in ten-thousandths of a point (rounded half to even).
  double Size() const { return static_cast<double>(size_) / 10000.0; }
  void SetSize(double points);
  std::int64_t SizeUnits() const { return size_; }
  void SetSizeUnits(std::int64_t units) { size_ = units < 0 ? 0 : units; }
  bool Bold() const { return weight_ >= 600; }
  void SetBold(bool bold) { weight_ = bold ? 700 : 400; }
  bool Italic() const { return italic_; }
  void SetItalic(bool v) { italic_ = v; }
  bool Underline() const { return underline_; }
  void SetUnderline(bool v) { underline_ = v; }
  bool Strikethrough() const { return strikethrough_; }
  void SetStrikethrough(bool v) { strikethrough_ = v; }
  std::int16_t Weight() const { return weight_; }
  void SetWeight(std::int16_t weight) {
    weight_ = weight < 0 ? std::int16_t{0} : (weight > 1000 ? std::int16_t{1000} : weight);
  }
  std::int16_t Charset() const { return charset_; }
  void SetCharset(std::int16_t charset) { charset_ = charset; }

  friend bool operator==(const StdFont&, const StdFont&) = default;

 private:
  std::string name_ = "Sans Serif";
  std::int64_t size_ = 82500;  // 8.25 points
  std::int16_t weight_ = 400;
  std::int16_t charset_ = 0;
  bool italic_ = false;
  bool underline_ = false;
  bool strikethrough_ = false;
};

}  // namespace quillane::platform
