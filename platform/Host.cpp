#include "platform/Host.h"

#include <cstdio>

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace quillane::platform {
namespace {

std::string& ExeNameOverride() {
  static std::string name;
  return name;
}

void DefaultMessageBox(const std::string& title, const std::string& text) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox::critical(nullptr, QString::fromStdString(title), QString::fromStdString(text));
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

}  // namespace

ComError::ComError(std::int32_t number, std::string description, std::string source)
    : std::runtime_error(source + ": " + std::to_string(number) + " " + description),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)) {}

std::string ExeName() {
  if (!ExeNameOverride().empty()) return ExeNameOverride();
  if (QCoreApplication::instance()) {
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (!base.isEmpty()) return base.toStdString();
  }
  return "quillane";
}

void SetExeName(std::string name) { ExeNameOverride() = std::move(name); }

std::string ErrorSource(std::string_view className, std::string_view procedure) {
  std::string s = ExeName();
  s += '.';
  s += className;
  s += ':';
  s += procedure;
  return s;
}

std::string StandardErrorText(std::int32_t number) {
  switch (number) {
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 7:
      return "Out of memory";
    case 9:
      return "Subscript out of range";
    case 13:
      return "Type mismatch";
    case 53:
      return "File not found";
    case 91:
      return "Object variable or With block variable not set";
    case 380:
      return "Invalid property value";
    case 481:
      return "Invalid picture";
    case 35601:
      return "Element not found";
    default:
      return "";
  }
}

std::string DesignModeErrorText(const ComError& error) {
  return "An unexpected application error has occured!\n\nSource: " + error.Source() + "\nError " +
         std::to_string(error.Number()) + ": " + error.Description() +
         "\n\nPlease contact the control library's technical support at "
         "support@quillane.invalid and quote the information above.";
}

Host::Host() : messageBox_(DefaultMessageBox) {}

void Host::PropertyChanged(const std::string& name) const {
  if (propertyChanged_) propertyChanged_(name);
}

void Host::RaiseError(std::int32_t number, std::string_view className, std::string_view procedure,
                      std::string_view description) const {
  ComError error(number, description.empty() ? StandardErrorText(number) : std::string(description),
                 ErrorSource(className, procedure));
  if (userMode_) throw error;
  if (messageBox_) messageBox_("Quillane", DesignModeErrorText(error));
}

}  // namespace quillane::platform
