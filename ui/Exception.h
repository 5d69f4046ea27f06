// Errors raised by the widget layer and the program's own logic. Event handlers let them escape to
// the application, which shows their text in a message box and goes on.
#pragma once

#include <stdexcept>
#include <string>

namespace taskwell {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a list (image lists, list view items, menu items).
class EListError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace taskwell
