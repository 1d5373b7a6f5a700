// A work folder for a user's cases: DIR/data with the examples, DIR/output for the results.
#pragma once

#include <string>

namespace littoral {

// The examples a program beside `programFolder` brings: ../share/littoral/examples once
// installed, else the build tree's data folder beside it ("" when neither exists).
std::string examplesFolder(const std::string& programFolder);

// Makes `dir` a work folder: copies the examples into dir/data (a file already there is
// kept as it is) and makes dir/output. Returns what it did, for the user; throws
// std::runtime_error naming the folder when it cannot.
std::string makeWorkFolder(const std::string& dir, const std::string& examples);

// The folder of the running program.
std::string programFolder();

}  // namespace littoral
