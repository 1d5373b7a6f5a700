// The pictures the desktop program's windows show at the end of a case, for a run without
// windows: "eta.png" (the surface of the last wave period) and "setup.png" (the mean water
// level of the last interval) in the case's output folder, written when the case ends (by
// the first process of a case split over processes), each with its caption as its title.
// Part of the library's picture component, which needs Qt's image library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "littoral/littoral.h"

namespace littoral {

class RunPictures {
public:
    // Follows `run` from now on; must outlive its advances.
    explicit RunPictures(Run& run);
    ~RunPictures();
    RunPictures(const RunPictures&) = delete;
    RunPictures& operator=(const RunPictures&) = delete;
    // The files the case's end wrote.
    const std::vector<std::string>& written() const;

    struct Keeper;

private:
    Run& run_;
    std::unique_ptr<Keeper> k_;
};

}  // namespace littoral
