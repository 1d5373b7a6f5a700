// Fuzz targets of the case file readers: each takes the bytes of one file, reads them as
// the program reads that file into a small case, and accepts only the readers' own stop
// (StopError). Anything else (another exception, a crash, a sanitizer report) is a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace littoral::fuzz {

int controlFile(const uint8_t* data, size_t size);
int coefFile(const uint8_t* data, size_t size);
int waveFile(const uint8_t* data, size_t size);
int tideFile(const uint8_t* data, size_t size);
int depthFile(const uint8_t* data, size_t size);
int boundaryFile(const uint8_t* data, size_t size);
int freeField(const uint8_t* data, size_t size);

using Target = int (*)(const uint8_t*, size_t);
// The target of a reader's name ("control", "coef", "wave", "tide", "depth", "boundary",
// "freefield"), or nullptr.
Target targetNamed(std::string_view name);

}  // namespace littoral::fuzz
