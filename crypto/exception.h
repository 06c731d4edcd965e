// The one exception base of Pelvane and the failure classes of the crypto layer.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace pelvane {

// Every failure carries its message text; the class tells what kind of failure it is.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A text that does not convert to a number or to a key.
class EConvertError : public Exception {
  using Exception::Exception;
};

// A text that is not valid in the selected string format, or an unknown format identifier.
class EStringFormat : public Exception {
  using Exception::Exception;
};

// A protection chain that would lead back to itself.
class EProtection : public Exception {
  using Exception::Exception;
};

}  // namespace pelvane
