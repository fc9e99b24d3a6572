#pragma once
// Host facilities for the controls: the ambient font, the flag that tells a running program from a
// form designer, the property-changed notification, and the control library's error convention.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/StdFont.h"

namespace quillane::platform {

// An error raised by the control library: a number, a description and a source text made of the
// executable's name, ".", the class name, ":" and the procedure's name.
class ComError : public std::runtime_error {
 public:
  ComError(std::int32_t number, std::string description, std::string source);
  std::int32_t Number() const { return number_; }
  const std::string& Description() const { return description_; }
  const std::string& Source() const { return source_; }

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
};

// The executable's name without folder and extension ("quillane" until an application object or
// SetExeName says otherwise).
std::string ExeName();
void SetExeName(std::string name);
// ExeName() + "." + className + ":" + procedure.
std::string ErrorSource(std::string_view className, std::string_view procedure);
// The standard description of an error number ("" when there is none).
std::string StandardErrorText(std::int32_t number);
// The text of the design-time error box.
std::string DesignModeErrorText(const ComError& error);

class Host {
 public:
  using MessageBoxFn = std::function<void(const std::string& title, const std::string& text)>;
  using PropertyChangedFn = std::function<void(const std::string& name)>;

  Host();

  const StdFont& AmbientFont() const { return ambientFont_; }
  void SetAmbientFont(StdFont font) { ambientFont_ = std::move(font); }
  // True in a running program, false while the control sits in a form designer.
  bool UserMode() const { return userMode_; }
  void SetUserMode(bool running) { userMode_ = running; }

  // Tells the host that a stored property changed, so that it saves the design.
  void PropertyChanged(const std::string& name) const;
  void SetPropertyChangedHandler(PropertyChangedFn fn) { propertyChanged_ = std::move(fn); }

  // Raises the library's error. In a running program it throws ComError (an empty description
  // takes the standard text of the number); in a form designer it shows the error box instead and
  // returns normally.
  void RaiseError(std::int32_t number, std::string_view className, std::string_view procedure,
                  std::string_view description = {}) const;
  // The box used in design mode; by default a modal message box (standard error when there is no
  // widget application). Tests put their own here so that nothing blocks. After the box the caller
  // leaves its procedure as it would after an error.
  void SetMessageBox(MessageBoxFn fn) { messageBox_ = std::move(fn); }

 private:
  StdFont ambientFont_;
  bool userMode_ = true;
  PropertyChangedFn propertyChanged_;
  MessageBoxFn messageBox_;
};

}  // namespace quillane::platform
