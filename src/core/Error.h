// The one exception type for "the program must stop": it carries a message for people.
// Input checks name the file, the field or line, what was found and what was expected;
// numerical dead ends name the cell and the model time.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace littoral {

class StopError : public std::runtime_error {
public:
    explicit StopError(const std::string& message) : std::runtime_error(message) {}
};

// A stop at a field of an input file: the file (as messages name it), the field ("field 21")
// and its line.
class InputStop : public StopError {
public:
    InputStop(const std::string& message, std::string file, std::string field, long line)
        : StopError(message), file_(std::move(file)), field_(std::move(field)), line_(line) {}
    const std::string& file() const { return file_; }
    const std::string& field() const { return field_; }
    long line() const { return line_; }

private:
    std::string file_, field_;
    long line_;
};

// Thrown when the user closes the start-up window in the middle of a case: the run ends
// at once, every file written so far is complete.
class RunAborted : public std::runtime_error {
public:
    RunAborted() : std::runtime_error("the run was ended by closing the start-up window") {}
};

}  // namespace littoral
