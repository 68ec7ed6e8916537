#pragma once

#include <stdexcept>
#include <string>

namespace brandel::spectrum {

/// What went wrong while reading or writing a spectrum; readers turn it into their outcome.
enum class ErrorKind {
    end_of_file,     // the data ended before a value that had to be there
    out_of_range,    // an index outside its table (a channel past 17001)
    overflow,        // a value that does not fit its field
    key_not_found,   // a header key that no line holds
    file_not_found,  // the source file or its folder does not exist
    unreadable,      // the file exists but cannot be read or is not of its layout
    cannot_write,    // the output file cannot be created or written
    invalid_name,    // a path that gives no output name
};

/// The one error type of the core. Raised where the fault happens, with a message a user can act
/// on; caught once at the boundary of a reader, the writer or an action.
class SpectrumError : public std::runtime_error {
  public:
    SpectrumError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

[[noreturn]] inline void raise(ErrorKind kind, const std::string& message) {
    throw SpectrumError(kind, message);
}

}  // namespace brandel::spectrum
