#include "input/FreeField.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/Numeric.h"

namespace littoral {

namespace {
constexpr size_t blockBytes = 65536;

bool isBlank(int c) { return c == ' ' || c == '\t'; }
// A number may be followed by blanks (and a carriage return left at the end of the file).
bool isTrailing(int c) { return isBlank(c) || c == '\r'; }

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isTrailing(s.back())) s.remove_suffix(1);
    return s;
}

std::string quoteFound(std::string_view s) { return "\"" + printable(s) + "\""; }

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

void appendHex(std::string& r, unsigned char b) {
    static const char digits[] = "0123456789ABCDEF";
    r += "\\x";
    r += digits[b >> 4];
    r += digits[b & 15];
}

// Length of the valid UTF-8 sequence at s[i] (2 to 4) and its code point; 0 if none.
size_t utf8Sequence(std::string_view s, size_t i, uint32_t& cp) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    if (b >= 0xC2 && b <= 0xDF) { n = 2; cp = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { n = 3; cp = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { n = 4; cp = b & 0x07; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}
}  // namespace

std::string printable(std::string_view s, size_t maxChars) {
    std::string r;
    size_t chars = 0, i = 0;
    while (i < s.size()) {
        if (chars == maxChars) {
            r += "...";
            break;
        }
        ++chars;
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b >= 0x20 && b < 0x7F) {
            r += static_cast<char>(b);
            ++i;
            continue;
        }
        switch (b) {
            case 0: r += "\\0"; ++i; continue;
            case '\t': r += "\\t"; ++i; continue;
            case '\r': r += "\\r"; ++i; continue;
            case '\n': r += "\\n"; ++i; continue;
            default: break;
        }
        uint32_t cp = 0;
        const size_t n = b >= 0x80 ? utf8Sequence(s, i, cp) : 0;
        if (n == 0) {
            appendHex(r, b);
            ++i;
        } else if (cp == 0xFEFF || (cp >= 0x80 && cp < 0xA0) || cp == 0x2028 || cp == 0x2029) {
            // Byte order marks, C1 controls and line separators are invisible or move text.
            char u[16];
            std::snprintf(u, sizeof u, "\\u%04X", static_cast<unsigned>(cp));
            r += u;
            i += n;
        } else {
            r.append(s.substr(i, n));
            i += n;
        }
    }
    return r;
}

std::FILE* openRegularFile(const std::string& path, const std::string& shownName) {
    const std::string looked = " (looked for " + printable(path, 400) + ")";
    // Opened without waiting: a named pipe would otherwise block the open until a writer
    // came. Links are followed; only then is the kind of the file known.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        const std::string reason = e == ELOOP ? "a loop of symbolic links, or too many links in a row"
                                   : e == ENOENT ? "no such file, or a link to nothing"
                                                 : std::strerror(e);
        throw StopError(shownName + ": the file cannot be opened: " + reason + looked);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        throw StopError(shownName + ": the file cannot be examined: " + std::strerror(e) + looked);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        const char* kind = S_ISDIR(st.st_mode)    ? "a folder"
                           : S_ISFIFO(st.st_mode) ? "a named pipe"
                           : S_ISCHR(st.st_mode)  ? "a character device"
                           : S_ISBLK(st.st_mode)  ? "a block device"
                           : S_ISSOCK(st.st_mode) ? "a socket"
                                                  : "not a regular file";
        throw StopError(shownName + ": the file is " + std::string(kind) +
                        ": expected a regular file of text" + looked);
    }
    // A regular file reads alike with or without O_NONBLOCK; the flag is cleared all the same.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        const int e = errno;
        ::close(fd);
        throw StopError(shownName + ": the file cannot be opened: " + std::strerror(e) + looked);
    }
    return f;
}

bool parseReal(std::string_view s, float& out) { return parseNum(s, out); }
bool parseDouble(std::string_view s, double& out) { return parseNum(s, out); }

FieldReader::FieldReader(const std::string& path, const std::string& shownName) : name_(printable(shownName, 200)) {
    if (path.find('\0') != std::string::npos)
        throw StopError(name_ + ": the name holds a NUL byte: expected a file name");
    file_.reset(openRegularFile(path, name_));
    skipByteOrderMark();
}

FieldReader FieldReader::fromText(std::string text, const std::string& shownName) {
    FieldReader r;
    r.buf_ = std::move(text);
    r.eof_ = true;
    r.name_ = printable(shownName, 200);
    r.skipByteOrderMark();
    return r;
}

bool FieldReader::fill(size_t need) {
    while (buf_.size() - pos_ < need && !eof_) {
        if (!file_) {
            eof_ = true;
            break;
        }
        // Drop what was read; keep the unread bytes that a look-ahead holds.
        if (pos_ > 0) {
            buf_.erase(0, pos_);
            pos_ = 0;
        }
        const size_t old = buf_.size();
        buf_.resize(old + blockBytes);
        const size_t got = std::fread(buf_.data() + old, 1, blockBytes, file_.get());
        buf_.resize(old + got);
        if (got < blockBytes) {
            if (std::ferror(file_.get()))
                throw StopError(name_ + ": the file cannot be read (" + std::strerror(errno) + ")");
            eof_ = true;
        }
    }
    return buf_.size() - pos_ >= need;
}

int FieldReader::peek(size_t k) {
    if (pos_ + k < buf_.size() || fill(k + 1)) return static_cast<unsigned char>(buf_[pos_ + k]);
    return -1;
}

void FieldReader::skipByteOrderMark() {
    if (peek(0) == 0xEF && peek(1) == 0xBB && peek(2) == 0xBF) advance(3);
}

bool FieldReader::atLineEnd() {
    const int c = peek();
    return c == '\n' || (c == '\r' && peek(1) == '\n');
}

void FieldReader::consumeLineEnd() {
    advance(peek() == '\r' ? 2 : 1);
    ++line_;
}

std::string FieldReader::where() const {
    return name_ + ": field " + std::to_string(fieldNo_) + " (line " + std::to_string(fieldLine_) + "): ";
}

namespace {
// An integer as a decimal comma leaves it: digits, a sign allowed before the whole part.
bool isDigits(std::string_view s, bool sign) {
    s = trimRight(s);
    if (sign && !s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    if (s.empty()) return false;
    for (const char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}
}  // namespace

std::string FieldReader::decimalCommaHint() const {
    // The value "0,5" read as the number 0 and the label 5: the two fields are integers on
    // one line, the second right after the comma that ended the first (after "1, 7" a
    // field too many is the likelier cause).
    const Earlier& whole = before_[1];
    const Earlier& part = before_[0];
    if (whole.kind != Kind::number || part.kind != Kind::label) return "";
    if (whole.quoted || part.quoted || part.blanksBefore || !whole.endedAtComma || whole.line != part.line) return "";
    if (!isDigits(whole.text, true) || !isDigits(part.text, false)) return "";
    const std::string w(trimRight(whole.text)), f(trimRight(part.text));
    return name_ + ": field " + std::to_string(fieldNo_ - 2) + " (line " + std::to_string(whole.line) + "): `" + w + "," +
           f + "` looks like a decimal comma: use `" + w + "." + f + "`" +
           (numberWhat_.empty() ? std::string() : " (expected " + numberWhat_ + ")");
}

void FieldReader::label(std::string_view what) {
    (void)nextField(what);
    kind_ = Kind::label;
    // In a file of one value and its label a line, a pair that is not on a line of its own
    // (a label missing, a field too many) shifts every field after it.
    const Earlier& value = before_[0];
    const bool own = value.kind == Kind::number && value.startsLine && value.line == fieldLine_ && !afterComma_;
    if (own) ++ownLinePairs_;
    else if (ownLinePairs_ > 0 && strayLine_ == 0) strayLine_ = value.line;
}

std::string FieldReader::strayHint(long shownLine) const {
    if (strayLine_ == 0 || strayLine_ >= shownLine) return "";
    return " (the fields stop matching their labels at line " + std::to_string(strayLine_) +
           ", which does not hold one value and its label)";
}

void FieldReader::fail(std::string_view what, std::string_view found) const {
    const std::string hint = decimalCommaHint();
    const std::string field = "field " + std::to_string(fieldNo_);
    if (!hint.empty()) throw InputStop(hint, name_, field, fieldLine_);
    throw InputStop(where() + "expected " + std::string(what) + ", found " + std::string(found) + strayHint(fieldLine_),
                    name_, field, fieldLine_);
}

std::string_view FieldReader::nextField(std::string_view what) {
    if (fieldNo_ > 0) {
        before_[1] = std::move(before_[0]);
        before_[0] = {field_, fieldLine_, afterComma_, quoted_, kind_, blanksBefore_, startsLine_};
    }
    startsLine_ = fieldNo_ == 0 || !afterComma_;
    ++fieldNo_;
    kind_ = Kind::text;
    field_.clear();
    quoted_ = false;
    size_t used = 0;
    auto tooLong = [&]() {
        fieldLine_ = line_;
        fail(what, "more than " + std::to_string(maxFieldBytes) + " bytes without a comma or line end" +
                       (field_.empty() ? std::string() : ", starting " + quoteFound(field_)));
    };
    // Blanks before the field.
    while (isBlank(peek())) {
        advance();
        if (++used > maxFieldBytes) tooLong();
    }
    blanksBefore_ = used > 0;
    fieldLine_ = line_;
    int c = peek();
    if (c < 0) {
        // A comma right before the end of the file leaves one empty field.
        if (!afterComma_) fail(what, "the end of the file");
        afterComma_ = false;
        return field_;
    }
    if (c == '"') {
        quoted_ = true;
        advance();
        while ((c = peek()) >= 0 && c != '"' && !atLineEnd()) {
            field_ += static_cast<char>(c);
            advance();
            if (++used > maxFieldBytes) tooLong();
        }
        if (c == '"') advance();
        // Anything between the closing quote and the separator is dropped.
        while ((c = peek()) >= 0 && c != ',' && !atLineEnd()) {
            advance();
            if (++used > maxFieldBytes) tooLong();
        }
    } else {
        while ((c = peek()) >= 0 && c != ',' && !atLineEnd()) {
            field_ += static_cast<char>(c);
            advance();
            if (++used > maxFieldBytes) tooLong();
        }
    }
    afterComma_ = c == ',';
    if (afterComma_) advance();
    else if (c >= 0) consumeLineEnd();
    return field_;
}

std::string_view FieldReader::numberField(std::string_view what) {
    const std::string_view f = nextField(what);
    if (trimRight(f).empty()) fail(what, "an empty field");
    return f;
}

std::string FieldReader::text(std::string_view what) { return std::string(nextField(what)); }

double FieldReader::number(std::string_view what) {
    const std::string_view f = numberField(what);
    double v = 0;
    if (!parseDouble(f, v)) fail(what, quoteFound(f));
    numberWhat_ = what;
    kind_ = Kind::number;
    return v;
}

float FieldReader::real(std::string_view what) {
    const std::string_view f = numberField(what);
    float v = 0;
    if (!parseReal(f, v)) fail(what, quoteFound(f));
    numberWhat_ = what;
    kind_ = Kind::number;
    return v;
}

// Cell numbers, codes, counts and types are whole numbers: 15.5 is refused, not rounded
// (to 16 it would name another boundary), while 16.0 and 1e2 are whole.
int16_t FieldReader::int16(std::string_view what) {
    const double v = number(what);
    const double r = std::nearbyint(v);
    if (!(r >= -32768.0 && r <= 32767.0))
        fail(std::string(what) + " (a 16-bit integer, -32768 to 32767)", describeNumber(v));
    if (r != v) fail(std::string(what) + " (a whole number)", describeNumber(v));
    return static_cast<int16_t>(r);
}

int32_t FieldReader::int32(std::string_view what) {
    const double v = number(what);
    const double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        fail(std::string(what) + " (a 32-bit integer)", describeNumber(v));
    if (r != v) fail(std::string(what) + " (a whole number)", describeNumber(v));
    return static_cast<int32_t>(r);
}

bool FieldReader::onlyBlanksAhead(size_t& n, long& lines) {
    n = 0;
    lines = 0;
    for (;;) {
        const int c = peek(n);
        if (c < 0) return true;
        if (c == '\n') ++lines;
        else if (!isBlank(c) && c != '\r') return false;
        if (++n > maxTrailingBytes) return false;
    }
}

bool FieldReader::atEnd() {
    size_t n = 0;
    long lines = 0;
    return onlyBlanksAhead(n, lines);
}

void FieldReader::expectEnd(std::string_view after) {
    size_t n = 0;
    long lines = 0;
    if (onlyBlanksAhead(n, lines)) return;
    const std::string head = name_ + ": line " + std::to_string(line_ + lines) +
                             ": expected the end of the file after " + std::string(after) + ", found ";
    if (n > maxTrailingBytes)
        throw StopError(head + "more than " + std::to_string(maxTrailingBytes) + " blanks and line ends");
    // Data left over after a value "0,5" read as 0 and the label 5.
    {
        Earlier saved[2] = {before_[0], before_[1]};
        FieldReader& self = *this;
        self.before_[1] = saved[0];
        self.before_[0] = {field_, fieldLine_, afterComma_, quoted_, kind_, blanksBefore_, startsLine_};
        ++self.fieldNo_;
        const std::string hint = decimalCommaHint();
        --self.fieldNo_;
        self.before_[0] = saved[0];
        self.before_[1] = saved[1];
        if (!hint.empty()) throw StopError(hint);
    }
    // The data found, up to its separator, as a short excerpt.
    std::string found;
    for (size_t k = n; found.size() < 200; ++k) {
        const int c = peek(k);
        if (c < 0 || c == '\n' || c == ',') break;
        found += static_cast<char>(c);
    }
    throw StopError(head + "more data: " + quoteFound(trimRight(found)) + strayHint(line_ + lines));
}

void FieldReader::expectTerminator(std::string_view terminator) {
    const std::string what = "the terminator " + std::string(terminator);
    const std::string_view f = nextField(what);
    if (f != terminator) fail(what, quoteFound(f));
}

}  // namespace littoral
