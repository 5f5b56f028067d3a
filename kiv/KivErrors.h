// The exception types of the core. Every error carries the message text the user
// sees; callers catch EKivError (or std::exception) and report it.
#pragma once

#include <stdexcept>
#include <string>

namespace kiv {

// Base of all errors raised by the core units.
class EKivError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, read or written. The message names the file.
class EFOpenError : public EKivError {
public:
    using EKivError::EKivError;
};

// Compressed data is damaged or incomplete. The message names the file.
class EZlibError : public EKivError {
public:
    using EKivError::EKivError;
};

// A text could not be read as the number or date it should hold.
class EConvertError : public EKivError {
public:
    using EKivError::EKivError;
};

// An index outside a list, e.g. a data line with too few fields.
class EListError : public EKivError {
public:
    using EKivError::EKivError;
};

// An internal-consistency check failed.
class EAssertionFailed : public EKivError {
public:
    using EKivError::EKivError;
};

// Raises EAssertionFailed with the given message when the condition is false.
inline void KivAssert(bool condition, const std::string& message) {
    if (!condition) {
        throw EAssertionFailed(message);
    }
}

} // namespace kiv
