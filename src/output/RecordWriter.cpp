#include "output/RecordWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
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

size_t appendFloatGeneral(char* out, float v) { return appendGeneral(out, static_cast<double>(v), 7); }
size_t appendDoubleGeneral(char* out, double v) { return appendGeneral(out, v, 15); }

// The same texts, formed without the general conversion wherever that is exact: a float by
// scaling with an exact power of ten and rounding to seven digits (the general path next
// to a tie), a double when it is a multiple of 2^-10 with at most 15 significant digits
// (cell positions). About three times faster; the result files are mostly these numbers.
namespace {

// Powers of ten that are exact in double precision.
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// a 10^p, rounded once (p within the exact powers).
inline double scaleByPow10(double a, int p) { return p >= 0 ? a * kPow10[p] : a / kPow10[-p]; }

}  // namespace

size_t appendFloat(char* out, float v) {
    if (v == 0.0f) { out[0] = '0'; return 1; }  // also -0, as the general conversion
    if (!std::isfinite(v)) return appendFloatGeneral(out, v);
    const double a = std::fabs(static_cast<double>(v));
    // Decimal exponent E of a: floor(b2 log10 2) is floor(log10 a) or one less.
    const int b2 = static_cast<int>((std::bit_cast<uint64_t>(a) >> 52) & 0x7ff) - 1023;
    int E = (b2 * 78913) >> 18;
    int p = 6 - E;
    if (p < -22 || p > 22) return appendFloatGeneral(out, v);
    // y = a 10^(6 - E), within 2^-53 relative of the exact value: its rounding to an integer
    // is the seven-digit rounding unless the exact value lies next to a tie.
    double y = scaleByPow10(a, p);
    if (y >= 9999999.5) {
        ++E;
        if (--p < -22) return appendFloatGeneral(out, v);
        y = scaleByPow10(a, p);
    }
    const double whole = static_cast<double>(static_cast<uint64_t>(y));
    const double frac = y - whole;
    if (std::fabs(frac - 0.5) < 1e-8) return appendFloatGeneral(out, v);
    uint32_t N = static_cast<uint32_t>(whole) + (frac > 0.5 ? 1u : 0u);
    if (N >= 10000000u) { N /= 10; ++E; }  // rounded up to 10^7
    if (N < 1000000u) return appendFloatGeneral(out, v);

    char d[7];
    const uint32_t hi = N / 10000, lo = N % 10000;
    d[0] = static_cast<char>('0' + hi / 100);
    std::memcpy(d + 1, kPairs + 2 * (hi % 100), 2);
    std::memcpy(d + 3, kPairs + 2 * (lo / 100), 2);
    std::memcpy(d + 5, kPairs + 2 * (lo % 100), 2);
    int k = 7;
    while (d[k - 1] == '0') --k;

    // The general form with precision 7: an exponent below -4 or from 7 on, else fixed.
    char* q = out;
    if (v < 0) *q++ = '-';
    if (E < -4 || E >= 7) {
        *q++ = d[0];
        if (k > 1) {
            *q++ = '.';
            for (int i = 1; i < k; ++i) *q++ = d[i];
        }
        *q++ = 'e';
        *q++ = E < 0 ? '-' : '+';
        int ae = E < 0 ? -E : E;
        if (ae >= 100) { *q++ = static_cast<char>('0' + ae / 100); ae %= 100; }
        *q++ = static_cast<char>('0' + ae / 10);
        *q++ = static_cast<char>('0' + ae % 10);
    } else if (E >= 0) {
        const int intDigits = E + 1;
        int i = 0;
        for (; i < intDigits; ++i) *q++ = i < k ? d[i] : '0';
        if (k > intDigits) {
            *q++ = '.';
            for (; i < k; ++i) *q++ = d[i];
        }
    } else {
        *q++ = '0';
        *q++ = '.';
        for (int i = 0; i < -E - 1; ++i) *q++ = '0';
        for (int i = 0; i < k; ++i) *q++ = d[i];
    }
    return static_cast<size_t>(q - out);
}

size_t appendDouble(char* out, double v) {
    if (v == 0.0) { out[0] = '0'; return 1; }
    // v = K / 1024 = K 5^10 / 10^10 has at most ten decimals: written exactly when it has at
    // most 15 significant digits and is at least 10^-4 (no exponent form).
    const double t = std::fabs(v) * 1024.0;
    if (!(t < 9007199254740992.0) || t != static_cast<double>(static_cast<uint64_t>(t)) || std::fabs(v) < 1e-4)
        return appendDoubleGeneral(out, v);
    const unsigned __int128 M = static_cast<unsigned __int128>(static_cast<uint64_t>(t)) * 9765625u;  // |v| 10^10
    const uint64_t ip = static_cast<uint64_t>(M / 10000000000u);
    uint64_t fr = static_cast<uint64_t>(M % 10000000000u);
    int decimals = 0;
    if (fr != 0) {
        decimals = 10;
        while (fr % 10 == 0) { fr /= 10; --decimals; }
    }
    int sig = 0;
    for (uint64_t x = ip > 0 ? ip : fr; x; x /= 10) ++sig;
    if (ip > 0) sig += decimals;
    if (sig > 15) return appendDoubleGeneral(out, v);
    char* q = out;
    if (v < 0) *q++ = '-';
    q = std::to_chars(q, q + 24, ip).ptr;
    if (decimals > 0) {
        *q++ = '.';
        for (int i = decimals - 1; i >= 0; --i) { q[i] = static_cast<char>('0' + fr % 10); fr /= 10; }
        q += decimals;
    }
    return static_cast<size_t>(q - out);
}


std::string formatFloat(float v) {
    char b[48];
    return std::string(b, appendFloat(b, v));
}
std::string formatDouble(double v) {
    char b[48];
    return std::string(b, appendDouble(b, v));
}

namespace {
// Serial of the temporaries of this process: with the process id, a name no other writer
// uses at the same time.
std::atomic<unsigned long> temporarySerial{0};
}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : path_(path) {
    const std::string stem = path + "." + std::to_string(static_cast<long>(::getpid())) + "-";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        tmp_ = stem + std::to_string(temporarySerial.fetch_add(1)) + ".part";
        fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) return;
        if (errno != EEXIST) break;  // a leftover of an earlier process with the same id: next serial
    }
    const int err = errno;
    throw StopError(path + ": the file cannot be created (" + std::strerror(err) + ")");
}

ReplacingFile::~ReplacingFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(tmp_.c_str());
    }
}

void ReplacingFile::fail(const char* what, int err) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(tmp_.c_str());
    throw StopError(path_ + ": " + what + " (" + std::strerror(err) + "); nothing was left under this name");
}

namespace {

// Writes size bytes at offset: 0, or the errno of the failure (ENOSPC for a write that
// makes no progress).
int writeAllAt(int fd, const char* data, size_t size, int64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return 0;
}

}  // namespace

void ReplacingFile::write(const char* data, size_t size) {
    writeAt(data, size, pos_);
    pos_ += static_cast<int64_t>(size);
}

void ReplacingFile::writeAt(const char* data, size_t size, int64_t offset) {
    if (fd_ < 0) throw StopError(path_ + ": written after it was closed");
    if (const int err = writeAllAt(fd_, data, size, offset)) fail("writing failed", err);
}

void ReplacingFile::seek(int64_t offset) {
    if (fd_ < 0) throw StopError(path_ + ": written after it was closed");
    pos_ = offset;
}

FilePart::FilePart(const std::string& temporaryPath, const std::string& path) : path_(path) {
    fd_ = ::open(temporaryPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw StopError(path + ": the file cannot be opened for writing from this process (" + std::strerror(errno) +
                        "); expected the output folder on a file system every process shares");
}

FilePart::~FilePart() {
    if (fd_ >= 0) ::close(fd_);
}

void FilePart::writeAt(const char* data, size_t size, int64_t offset) {
    if (fd_ < 0) throw StopError(path_ + ": written after it was closed");
    if (const int err = writeAllAt(fd_, data, size, offset)) {
        ::close(fd_);
        fd_ = -1;
        throw StopError(path_ + ": writing failed (" + std::string(std::strerror(err)) +
                        "); nothing was left under this name");
    }
}

void FilePart::close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw StopError(path_ + ": writing failed at closing (" + std::string(std::strerror(errno)) +
                        "); nothing was left under this name");
}

void ReplacingFile::commit() {
    if (fd_ < 0) throw StopError(path_ + ": closed twice");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp_.c_str());
        throw StopError(path_ + ": writing failed at closing (" + std::strerror(err) + "); nothing was left under this name");
    }
    if (std::rename(tmp_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp_.c_str());
        throw StopError(path_ + ": the file cannot be replaced (" + std::strerror(err) + ")");
    }
}

void writeFileReplacing(const std::string& path, const char* data, size_t size) {
    ReplacingFile f(path);
    f.write(data, size);
    f.commit();
}

bool isWriterTemporary(std::string_view fileName) {
    constexpr std::string_view suffix = ".part";
    return fileName.size() > suffix.size() && fileName.substr(fileName.size() - suffix.size()) == suffix;
}

RecordBuffer& RecordBuffer::text(std::string_view s) {
    sep();
    buf_.push_back('"');
    buf_.append(s);
    buf_.push_back('"');
    return *this;
}

RecordBuffer& RecordBuffer::f32(float v) {
    sep();
    char b[48];
    buf_.append(b, appendFloat(b, v));
    return *this;
}

RecordBuffer& RecordBuffer::f64(double v) {
    sep();
    char b[48];
    buf_.append(b, appendDouble(b, v));
    return *this;
}

RecordBuffer& RecordBuffer::i32(int64_t v) {
    sep();
    char b[24];
    auto r = std::to_chars(b, b + sizeof b, v);
    buf_.append(b, static_cast<size_t>(r.ptr - b));
    return *this;
}

void RecordBuffer::numberLine(double a, double b, const float* v, int n) {
    char t[48 * 34];
    char* q = t;
    if (lineStarted_) *q++ = ',';
    q += appendDouble(q, a);
    *q++ = ',';
    q += appendDouble(q, b);
    for (int k = 0; k < n && k < 32; ++k) {
        *q++ = ',';
        q += appendFloat(q, v[k]);
    }
    *q++ = '\n';
    buf_.append(t, static_cast<size_t>(q - t));
    lineStarted_ = false;
}

void RecordBuffer::endLine() {
    buf_.push_back('\n');
    lineStarted_ = false;
}

RecordWriter::RecordWriter(const std::string& path) : file_(path) { rec_.reserve(1 << 20); }

RecordWriter::~RecordWriter() = default;

RecordWriter& RecordWriter::text(std::string_view s) {
    rec_.text(s);
    return *this;
}

RecordWriter& RecordWriter::f32(float v) {
    rec_.f32(v);
    return *this;
}

RecordWriter& RecordWriter::f64(double v) {
    rec_.f64(v);
    return *this;
}

RecordWriter& RecordWriter::i32(int64_t v) {
    rec_.i32(v);
    return *this;
}

void RecordWriter::endLine() {
    rec_.endLine();
    if (rec_.str().size() >= (1u << 20) - 4096) flush();
}

void RecordWriter::flush() {
    file_.write(rec_.str().data(), rec_.str().size());
    rec_.clear();
}

void RecordWriter::append(const RecordBuffer& records) { append(std::string_view(records.str())); }

void RecordWriter::append(std::string_view records) {
    flush();
    file_.write(records.data(), records.size());
}

int64_t RecordWriter::end() {
    flush();
    return file_.position();
}

void RecordWriter::close() {
    if (!open_) return;
    open_ = false;
    flush();
    file_.commit();
}

}  // namespace littoral
