// The pictures of a case, for a run without windows, written into the case's output folder
// when the case ends: "eta.png" (the surface of the last wave period) and "setup.png" (the
// mean water level of the last interval) in the desktop windows' colours, and "wavH.png"
// (wave height), "currents.png" (current speed with arrows of direction) and
// "bedchange.png" (bed level change since the start), dry and land cells grey. Each has a
// title (case, quantity, model time), axes in metres and a colour bar with its unit, and is
// at least 480 pixels wide. A case split over processes gets the same pictures (written by
// its first process, the fields gathered there). Part of the library's picture component: Qt's painter on the offscreen
// platform, no display needed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "littoral/littoral.h"

namespace littoral {

// Makes what the pictures' text needs (the toolkit's application object, on the offscreen
// platform) unless the program has it already. Call it on the main thread before cases run
// on other threads; RunPictures calls it too.
void preparePictures();

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
