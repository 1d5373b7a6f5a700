// Allocation of the model's arrays: a failure names what was being allocated and its size,
// so that the case's message can say so (never a bare "std::bad_alloc").
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace littoral {

// "1.5 GiB", "12 MiB", "640 KiB", "96 bytes".
inline std::string formatBytes(double bytes) {
    char b[48];
    if (bytes >= 1024.0 * 1024 * 1024) std::snprintf(b, sizeof b, "%.1f GiB", bytes / (1024.0 * 1024 * 1024));
    else if (bytes >= 1024.0 * 1024) std::snprintf(b, sizeof b, "%.0f MiB", bytes / (1024.0 * 1024));
    else if (bytes >= 1024.0) std::snprintf(b, sizeof b, "%.0f KiB", bytes / 1024.0);
    else std::snprintf(b, sizeof b, "%.0f bytes", bytes);
    return b;
}

// An allocation of the model state that failed: what() names the array's shape and size.
class AllocationError : public std::bad_alloc {
public:
    explicit AllocationError(std::string what) : what_(std::move(what)) {}
    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::string what_;
};

// v = n zeros; on failure throws AllocationError with "<kind> of <a> [x <b>] <unit> (<size>)".
template <class T>
void assignZeros(std::vector<T>& v, std::ptrdiff_t n, const char* kind, const char* unit, std::ptrdiff_t a,
                 std::ptrdiff_t b = 0) {
    try {
        v.assign(static_cast<size_t>(n), T{});
    } catch (const std::bad_alloc&) {
        std::string shape = std::string(kind) + " of " + std::to_string(a);
        if (b > 0) shape += " x " + std::to_string(b);
        throw AllocationError(shape + " " + unit + " (" + formatBytes(static_cast<double>(n) * sizeof(T)) + ")");
    }
}

}  // namespace littoral
