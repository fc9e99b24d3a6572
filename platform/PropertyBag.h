#pragma once
// The host's property bag: the store in which a control keeps its design.
//
// Values are typed (Boolean stored as 16 bits with True = -1, 16-bit Integer, 32-bit Long,
// Single, String, Font, Picture). A value equal to its default is not stored; a missing key reads
// as its default; a stored value of another type is converted to the type asked for where the
// store can (a numeric text becomes a number, a Boolean becomes -1 or 0), else the default comes
// back. Keys compare without regard to case and keep the order in which they were first written.
//
// The readable text form, one entry per line after a header line:
//   Quillane property bag 1
//   ButtonCount: Integer = 3
//   BackColor: Long = -2147483633
//   FixedSize: Single = 1.5
//   PlaySounds: Boolean = False
//   Title: String = "Main \"bar\"\n"
//   Font: Font = "Sans Serif", 8.25, Weight 700, Charset 0, Italic, Underline, Strikethrough
//   ButtonPicture1: Picture = Bitmap 16x16 <PNG in base64>
//   MouseIcon: Picture = Icon 32x32 <PNG in base64>      (or "None" for a picture of type none)
// Every type survives the text form exactly (pictures pixel for pixel).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Picture.h"
#include "platform/StdFont.h"

namespace quillane::platform {

struct VbBool {
  bool value = false;
  std::int16_t Stored() const { return value ? std::int16_t{-1} : std::int16_t{0}; }
  friend bool operator==(const VbBool&, const VbBool&) = default;
};

using PropertyValue =
    std::variant<VbBool, std::int16_t, std::int32_t, float, std::string, StdFont, Picture>;

enum class PropertyType {
  Boolean = 0,
  Integer = 1,
  Long = 2,
  Single = 3,
  String = 4,
  Font = 5,
  Picture = 6
};

inline PropertyType TypeOf(const PropertyValue& v) { return static_cast<PropertyType>(v.index()); }

class PropertyBag {
 public:
  // Stores the value under the key, or removes the key when the value equals the default.
  // Keys must be non-empty and hold no ':' and no control characters (else std::invalid_argument).
  void WriteProperty(std::string_view key, const PropertyValue& value,
                     const PropertyValue& defaultValue);
  // Stores the value whatever it is.
  void WriteProperty(std::string_view key, const PropertyValue& value);
  // The stored value in the default's type, or the default.
  PropertyValue ReadProperty(std::string_view key, const PropertyValue& defaultValue) const;

  bool ReadBool(std::string_view key, bool defaultValue) const;
  std::int16_t ReadInt16(std::string_view key, std::int16_t defaultValue) const;
  std::int32_t ReadInt32(std::string_view key, std::int32_t defaultValue) const;
  float ReadSingle(std::string_view key, float defaultValue) const;
  std::string ReadString(std::string_view key, std::string_view defaultValue) const;
  StdFont ReadFont(std::string_view key, const StdFont& defaultValue) const;
  Picture ReadPicture(std::string_view key, const Picture& defaultValue = Picture()) const;

  void WriteBool(std::string_view key, bool value, bool defaultValue) {
    WriteProperty(key, VbBool{value}, VbBool{defaultValue});
  }
  void WriteInt16(std::string_view key, std::int16_t value, std::int16_t defaultValue) {
    WriteProperty(key, value, defaultValue);
  }
  void WriteInt32(std::string_view key, std::int32_t value, std::int32_t defaultValue) {
    WriteProperty(key, value, defaultValue);
  }
  void WriteSingle(std::string_view key, float value, float defaultValue) {
    WriteProperty(key, value, defaultValue);
  }
  void WriteString(std::string_view key, std::string_view value, std::string_view defaultValue) {
    WriteProperty(key, std::string(value), std::string(defaultValue));
  }
  void WriteFont(std::string_view key, const StdFont& value, const StdFont& defaultValue) {
    WriteProperty(key, value, defaultValue);
  }
  void WritePicture(std::string_view key, const Picture& value,
                    const Picture& defaultValue = Picture()) {
    WriteProperty(key, value, defaultValue);
  }

  bool Contains(std::string_view key) const { return Find(key) != nullptr; }
  // The stored value as it is, or nullopt.
  std::optional<PropertyValue> Stored(std::string_view key) const;
  bool Remove(std::string_view key);
  void Clear() { entries_.clear(); }
  std::size_t Size() const { return entries_.size(); }
  std::vector<std::string> Keys() const;

  std::string ToText() const;
  // Parses the text form; on failure returns nullopt and, when error is given, the line and reason.
  static std::optional<PropertyBag> FromText(std::string_view text, std::string* error = nullptr);

  // Same keys in the same order with the same types and values (pictures pixel for pixel).
  friend bool operator==(const PropertyBag& a, const PropertyBag& b);

 private:
  struct Entry {
    std::string key;
    PropertyValue value;
  };
  const Entry* Find(std::string_view key) const;
  Entry* Find(std::string_view key);
  std::vector<Entry> entries_;
};

}  // namespace quillane::platform
