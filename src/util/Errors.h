#pragma once
// The one error hierarchy of the system. A record's error becomes a log line; any other ends
// the run, so every message must name what failed and where, in words an operator can act on.

#include <stdexcept>
#include <string>

namespace sivaro {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that does not convert to the type asked for (a field's value, a layout number...).
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// Everything the table engine refuses: missing tables or fields, key violations, bad files.
class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
};

// The barcode model's checks, with their fixed English messages.
class EBarCodeError : public Exception {
  public:
    using Exception::Exception;
};

// File system failures outside the tables: "Unable to write to " + file name, unreadable sources.
class EInOutError : public Exception {
  public:
    using Exception::Exception;
};

}  // namespace sivaro
