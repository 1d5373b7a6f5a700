#include "output/RecordWriter.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/Error.h"

namespace littoral {

namespace {
// %.Ng trimmed: std::to_chars in general format with a precision drops trailing zeros.
size_t appendGeneral(char* out, double v, int digits) {
    if (v == 0.0) { out[0] = '0'; return 1; }  // also -0
    auto r = std::to_chars(out, out + 40, v, std::chars_format::general, digits);
    return static_cast<size_t>(r.ptr - out);
}
}  // namespace

size_t appendFloat(char* out, float v) { return appendGeneral(out, static_cast<double>(v), 7); }
size_t appendDouble(char* out, double v) { return appendGeneral(out, v, 15); }

std::string formatFloat(float v) {
    char b[48];
    return std::string(b, appendFloat(b, v));
}
std::string formatDouble(double v) {
    char b[48];
    return std::string(b, appendDouble(b, v));
}

RecordWriter::RecordWriter(const std::string& path) : path_(path), tmp_(path + ".part") {
    f_ = std::fopen(tmp_.c_str(), "wb");
    if (!f_) throw StopError(path + ": the file cannot be created (" + std::strerror(errno) + ")");
    buf_.reserve(1 << 20);
}

RecordWriter::~RecordWriter() {
    if (f_) {
        std::fclose(f_);
        std::remove(tmp_.c_str());
    }
}

void RecordWriter::sep() {
    if (lineStarted_) buf_.push_back(',');
    lineStarted_ = true;
}

RecordWriter& RecordWriter::text(std::string_view s) {
    sep();
    buf_.push_back('"');
    buf_.append(s);
    buf_.push_back('"');
    return *this;
}

RecordWriter& RecordWriter::f32(float v) {
    sep();
    char b[48];
    buf_.append(b, appendFloat(b, v));
    return *this;
}

RecordWriter& RecordWriter::f64(double v) {
    sep();
    char b[48];
    buf_.append(b, appendDouble(b, v));
    return *this;
}

RecordWriter& RecordWriter::i32(int64_t v) {
    sep();
    char b[24];
    auto r = std::to_chars(b, b + sizeof b, v);
    buf_.append(b, static_cast<size_t>(r.ptr - b));
    return *this;
}

void RecordWriter::endLine() {
    buf_.push_back('\n');
    lineStarted_ = false;
    flushIfFull();
}

void RecordWriter::flushIfFull() {
    if (buf_.size() < (1u << 20) - 4096) return;
    if (std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
        throw StopError(path_ + ": writing failed (" + std::strerror(errno) + ")");
    buf_.clear();
}

void RecordWriter::close() {
    if (!f_) return;
    const bool ok = std::fwrite(buf_.data(), 1, buf_.size(), f_) == buf_.size();
    const bool closed = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!ok || !closed) {
        std::remove(tmp_.c_str());
        throw StopError(path_ + ": writing failed (" + std::strerror(errno) + ")");
    }
    if (std::rename(tmp_.c_str(), path_.c_str()) != 0) {
        std::remove(tmp_.c_str());
        throw StopError(path_ + ": the file cannot be replaced (" + std::strerror(errno) + ")");
    }
}

}  // namespace littoral
