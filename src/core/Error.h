// The one exception type for "the program must stop": it carries a message for people.
// Input checks name the file, the field or line, what was found and what was expected;
// numerical dead ends name the cell and the model time.
#pragma once

#include <stdexcept>
#include <string>

namespace littoral {

class StopError : public std::runtime_error {
public:
    explicit StopError(const std::string& message) : std::runtime_error(message) {}
};

// Thrown when the user closes the start-up window in the middle of a case: the run ends
// at once, every file written so far is complete.
class RunAborted : public std::runtime_error {
public:
    RunAborted() : std::runtime_error("the run was ended by closing the start-up window") {}
};

}  // namespace littoral
