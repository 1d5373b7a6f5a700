// Record output, shared by the echo files and the result field files: each record is one
// line of comma-separated fields ended by LF; text in double quotes; numbers with a period,
// at most 7 significant digits for single precision and 15 for double, no trailing zeros.
//
// A file is written under a temporary name and renamed into place by close(), so a file of
// the given name is always complete; a writer destroyed without close() (an exception
// unwound through it) removes its temporary file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace littoral {

// Shortest text with at most 7 (float) or 15 (double) significant digits.
std::string formatFloat(float v);
std::string formatDouble(double v);
// Appends the same forms to a buffer; returns the number of characters written.
size_t appendFloat(char* out, float v);
size_t appendDouble(char* out, double v);
// The same texts by the general conversion (slower; the reference for the fast forms).
size_t appendFloatGeneral(char* out, float v);
size_t appendDoubleGeneral(char* out, double v);

class RecordWriter {
public:
    explicit RecordWriter(const std::string& path);
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    RecordWriter& text(std::string_view s);
    RecordWriter& f32(float v);
    RecordWriter& f64(double v);
    RecordWriter& i32(int64_t v);
    void endLine();
    // Flushes, closes and renames the file into place.
    void close();

private:
    void sep();
    void flushIfFull();
    std::string path_, tmp_;
    std::FILE* f_ = nullptr;
    std::string buf_;
    bool lineStarted_ = false;
};

}  // namespace littoral
