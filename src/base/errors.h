// The program's errors: exceptions that carry the text the error box shows.
#pragma once

#include <stdexcept>
#include <string>

namespace ostrel {

// The general error class; everything the program raises derives from it.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A registry operation failed ("Invalid data type for 'DisplayVersion'", ...).
class RegistryError : public Error {
public:
    using Error::Error;
};

// An operating-system call failed; carries the system's error code.
class OSError : public Error {
public:
    OSError(const std::string& message, unsigned long code) : Error(message), code_(code) {}
    unsigned long code() const noexcept { return code_; }

private:
    unsigned long code_;
};

// A value could not be converted to the type asked for.
class ConvertError : public Error {
public:
    using Error::Error;
};

} // namespace ostrel
