// The errors every reader throws: what the engine turns into the reason of a failed conversion.
#pragma once

#include <stdexcept>

namespace quillane::model {

// Any reason a workbook could not be read; the message names the problem plainly.
class ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The workbook is encrypted and neither the default password nor the given one opens it.
class PasswordError : public ReadError {
 public:
  using ReadError::ReadError;
};

}  // namespace quillane::model
