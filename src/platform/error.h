// Errors raised inside the module. Messages are Windows-1252 texts, as they end up in the module log.
#pragma once

#include <stdexcept>
#include <string>

namespace imp {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value that cannot become the type asked for ("abc" as a number, "S" as a boolean).
class ConversionError : public Error {
 public:
  using Error::Error;
};

}  // namespace imp
