#include "input/FreeField.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/Error.h"
#include "core/Numeric.h"

namespace littoral {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string quoteFound(std::string_view s) {
    std::string r = "\"";
    r.append(s.substr(0, 60));
    if (s.size() > 60) r += "...";
    r += "\"";
    return r;
}

template <class T>
bool parseNum(std::string_view s, T& out) {
    s = trimRight(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    auto [p, ec] = std::from_chars(first, last, out, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // from_chars reports underflow as out of range too: take such values as 0.
        double d = 0;
        auto [p2, ec2] = std::from_chars(first, last, d, std::chars_format::general);
        if (ec2 == std::errc() && p2 == last && std::fabs(d) < 1.0) { out = T(0); return true; }
        return false;
    }
    return ec == std::errc() && p == last && std::isfinite(static_cast<double>(out));
}
}  // namespace

bool parseReal(std::string_view s, float& out) { return parseNum(s, out); }
bool parseDouble(std::string_view s, double& out) { return parseNum(s, out); }

FieldReader::FieldReader(const std::string& path, const std::string& shownName) : name_(shownName) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw StopError(shownName + ": the file cannot be opened (looked for " + path + ")");
    std::ostringstream ss;
    ss << in.rdbuf();
    buf_ = std::move(ss).str();
    skipByteOrderMark();
}

void FieldReader::skipByteOrderMark() {
    if (buf_.size() >= 3 && static_cast<unsigned char>(buf_[0]) == 0xEF &&
        static_cast<unsigned char>(buf_[1]) == 0xBB && static_cast<unsigned char>(buf_[2]) == 0xBF)
        pos_ = 3;
}

FieldReader FieldReader::fromText(std::string text, const std::string& shownName) {
    FieldReader r;
    r.buf_ = std::move(text);
    r.name_ = shownName;
    r.skipByteOrderMark();
    return r;
}

std::string FieldReader::where() const {
    return name_ + ": field " + std::to_string(fieldNo_) + " (line " + std::to_string(fieldLine_) + "): ";
}

void FieldReader::fail(std::string_view what, std::string_view found) const {
    throw StopError(where() + "expected " + std::string(what) + ", found " + std::string(found));
}

void FieldReader::skipBlanksAndEmptyLines() {
    const size_t n = buf_.size();
    while (pos_ < n) {
        const char c = buf_[pos_];
        if (isBlank(c) || c == '\r') { ++pos_; continue; }
        if (c == '\n') { ++pos_; ++line_; continue; }
        break;
    }
}

bool FieldReader::atEnd() {
    skipBlanksAndEmptyLines();
    return pos_ >= buf_.size();
}

std::string_view FieldReader::nextField(std::string_view what) {
    const size_t n = buf_.size();
    const char* b = buf_.data();
    // Blanks before the field; a blank line holds no field.
    skipBlanksAndEmptyLines();
    ++fieldNo_;
    fieldLine_ = line_;
    if (pos_ >= n) fail(what, "the end of the file");
    std::string_view field;
    if (b[pos_] == '"') {
        const size_t start = ++pos_;
        while (pos_ < n && b[pos_] != '"' && b[pos_] != '\n') ++pos_;
        field = std::string_view(b + start, pos_ - start);
        if (pos_ < n && b[pos_] == '"') ++pos_;
        // Anything between the closing quote and the separator is dropped.
        while (pos_ < n && b[pos_] != ',' && b[pos_] != '\n') ++pos_;
    } else {
        const size_t start = pos_;
        while (pos_ < n && b[pos_] != ',' && b[pos_] != '\n') ++pos_;
        size_t end = pos_;
        if (end > start && b[end - 1] == '\r') --end;
        field = trimRight(std::string_view(b + start, end - start));
    }
    // The separator: a comma (with a line end right after it, the pair is one separator),
    // or a line end.
    if (pos_ < n && b[pos_] == ',') {
        ++pos_;
        size_t p = pos_;
        while (p < n && (isBlank(b[p]) || b[p] == '\r')) ++p;
        if (p < n && b[p] == '\n') { pos_ = p + 1; ++line_; }
    } else if (pos_ < n && b[pos_] == '\n') {
        ++pos_;
        ++line_;
    }
    return field;
}

std::string FieldReader::text(std::string_view what) { return std::string(nextField(what)); }

double FieldReader::number(std::string_view what) {
    const std::string_view f = nextField(what);
    double v = 0;
    if (!parseDouble(f, v)) fail(what, quoteFound(f));
    return v;
}

float FieldReader::real(std::string_view what) {
    const std::string_view f = nextField(what);
    float v = 0;
    if (!parseReal(f, v)) fail(what, quoteFound(f));
    return v;
}

int16_t FieldReader::int16(std::string_view what) {
    const double v = number(what);
    const double r = std::nearbyint(v);
    if (!(r >= -32768.0 && r <= 32767.0))
        fail(std::string(what) + " (a 16-bit integer, -32768 to 32767)", describeNumber(v));
    return static_cast<int16_t>(r);
}

int32_t FieldReader::int32(std::string_view what) {
    const double v = number(what);
    const double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        fail(std::string(what) + " (a 32-bit integer)", describeNumber(v));
    return static_cast<int32_t>(r);
}

void FieldReader::expectEnd(std::string_view after) {
    if (atEnd()) return;
    const size_t start = pos_;
    size_t e = start;
    while (e < buf_.size() && buf_[e] != '\n' && buf_[e] != ',') ++e;
    std::string_view found(buf_.data() + start, e - start);
    throw StopError(name_ + ": line " + std::to_string(line_) + ": expected the end of the file after " +
                    std::string(after) + ", found more data: " + quoteFound(trimRight(found)));
}

void FieldReader::expectTerminator(std::string_view terminator) {
    const std::string what = "the terminator " + std::string(terminator);
    const std::string_view f = nextField(what);
    if (f != terminator) fail(what, quoteFound(f));
}

}  // namespace littoral
