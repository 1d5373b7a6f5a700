// Record output, shared by the echo files and the result field files: each record is one
// line of comma-separated fields ended by LF; text in double quotes; numbers with a period,
// at most 7 significant digits for single precision and 15 for double, no trailing zeros.
//
// A file is written under a temporary name and renamed into place by close(), so a file of
// the given name is always complete; a writer destroyed without close() (an exception
// unwound through it) removes its temporary file.
//
// The temporary name is unique to the process and the file (name + "." + process id + "-"
// + serial + ".part") and created exclusively, so two processes never write into the same
// temporary; every write and the close are checked (a full disk is an error, never a short
// file under the final name).
#pragma once

#include <cstdint>
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

// A file written under an exclusive temporary name and renamed into place by commit().
// Destroyed without commit(), it removes its temporary. Failures throw StopError naming
// the file and the system's reason.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const char* data, size_t size);
    // Writes at a byte offset, leaving the position of write() where it is.
    void writeAt(const char* data, size_t size, int64_t offset);
    // The byte offset write() writes at next, and moving it (to the end of what other
    // writers put at offsets, for instance).
    int64_t position() const { return pos_; }
    void seek(int64_t offset);
    // Closes the temporary (checked) and renames it to the final name.
    void commit();
    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return tmp_; }

private:
    [[noreturn]] void fail(const char* what, int err);
    std::string path_, tmp_;
    int fd_ = -1;
    int64_t pos_ = 0;
};

// A part of a file that another process is writing under a temporary name (a
// ReplacingFile's): this process writes its bytes at offsets, then closes (checked) before
// the other renames the file into place. Failures throw StopError naming the final name.
class FilePart {
public:
    FilePart(const std::string& temporaryPath, const std::string& path);
    ~FilePart();
    FilePart(const FilePart&) = delete;
    FilePart& operator=(const FilePart&) = delete;

    void writeAt(const char* data, size_t size, int64_t offset);
    void close();

private:
    std::string path_;
    int fd_ = -1;
};

// Writes size bytes as the whole file path, through a temporary (see ReplacingFile).
void writeFileReplacing(const std::string& path, const char* data, size_t size);

// True for the name of a temporary that a writer of this program leaves only when its
// process is killed: a name ending in ".part".
bool isWriterTemporary(std::string_view fileName);

// Records formatted into memory: the same text a RecordWriter writes. Several threads
// format parts of a file side by side, each into its own buffer, and the writer takes the
// buffers in order (RecordWriter::append).
class RecordBuffer {
public:
    RecordBuffer& text(std::string_view s);
    RecordBuffer& f32(float v);
    RecordBuffer& f64(double v);
    RecordBuffer& i32(int64_t v);
    void endLine();
    // The fields that follow go on a line whose earlier fields another buffer holds (a
    // separator first), or begin a line (afterFields false); for a line formatted in parts.
    RecordBuffer& resumeLine(bool afterFields) {
        lineStarted_ = afterFields;
        return *this;
    }
    // A whole line of numbers: f64(a), f64(b), f32 of v[0..n-1] (n at most 32), endLine(),
    // appended at once.
    void numberLine(double a, double b, const float* v, int n);
    const std::string& str() const { return buf_; }
    void clear() { buf_.clear(); }
    void reserve(size_t n) { buf_.reserve(n); }

private:
    void sep() {
        if (lineStarted_) buf_.push_back(',');
        lineStarted_ = true;
    }
    std::string buf_;
    bool lineStarted_ = false;
};

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
    // Whole records formatted elsewhere, after those written so far.
    void append(const RecordBuffer& records);
    void append(std::string_view records);
    // Writes what is buffered: the byte offset the next records go to.
    int64_t end();
    // Records at a byte offset at or after end(), and the next records after offset `to`
    // (for a file that several processes write at offsets).
    void writeAt(std::string_view records, int64_t offset) { file_.writeAt(records.data(), records.size(), offset); }
    void moveEnd(int64_t to) { file_.seek(to); }
    const std::string& temporaryPath() const { return file_.temporaryPath(); }
    // Flushes, closes and renames the file into place.
    void close();

private:
    void flush();
    ReplacingFile file_;
    bool open_ = true;
    RecordBuffer rec_;
};

}  // namespace littoral
