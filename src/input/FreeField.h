// Free-field text input, the syntax of every case file.
//
// A file is a sequence of fields. A field ends at a comma or at a line end (LF or CRLF):
// a comma right before a line end leaves an empty field between them, and an empty line
// is an empty field. Blanks before a field are skipped; the blanks at the end of an
// unquoted field belong to it (a number may still carry them). A field in double quotes
// loses its quotes and may hold commas. A UTF-8 byte order mark at the start is skipped.
// Numbers use a period as decimal separator.
//
// The file is read as a stream, a block at a time: a reader holds one field and one
// block, never the whole file, and a field longer than `maxFieldBytes` is refused, so a
// file without separators (a device, a binary file) stops quickly. After the last field
// a file needs, `atEnd` and `expectEnd` look ahead only until they meet data.
//
// Every failed read throws StopError naming the file, the field number, its line, what
// was expected and what was found; quoted file content has its control bytes escaped
// and is cut to a short excerpt.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace littoral {

class FieldReader {
public:
    // Longest field, blanks before it included.
    static constexpr size_t maxFieldBytes = 65536;
    // Longest run of blanks and line ends after the last field that still counts as the end.
    static constexpr size_t maxTrailingBytes = 1 << 20;

    // Opens `path`; `shownName` is the name used in messages.
    FieldReader(const std::string& path, const std::string& shownName);
    // Reads text already in memory (tests, benchmarks, fuzzing).
    static FieldReader fromText(std::string text, const std::string& shownName);

    // The next field as text; `what` says what the field should hold.
    std::string text(std::string_view what);
    // The next field as a number of the stated width (integers round half to even).
    float real(std::string_view what);
    int16_t int16(std::string_view what);
    int32_t int32(std::string_view what);
    double number(std::string_view what);  // general number, double precision
    // Reads and throws away a label field (noting whether the value before it and the label
    // stand on a line of their own, for the messages of a file whose fields shifted).
    void label(std::string_view what);
    // True when only blanks and line ends remain (reads nothing that a later field needs).
    bool atEnd();
    // Throws unless only blanks and line ends remain; `after` says what was read last.
    void expectEnd(std::string_view after);
    // Reads one field and throws unless it is exactly `terminator`.
    void expectTerminator(std::string_view terminator);

    long fieldNo() const { return fieldNo_; }
    long lineNo() const { return line_; }
    // The line the last field read stands on.
    long fieldLine() const { return fieldLine_; }
    // The name for messages (control bytes escaped).
    const std::string& name() const { return name_; }

    // "name: field N (line L): " for messages.
    std::string where() const;

private:
    FieldReader() = default;
    std::string_view nextField(std::string_view what);
    std::string_view numberField(std::string_view what);
    [[noreturn]] void fail(std::string_view what, std::string_view found) const;
    void skipByteOrderMark();
    // The byte k places after the read position, or -1 at the end of the file; reads
    // further blocks as needed, keeping the unread ones.
    int peek(size_t k = 0);
    void advance(size_t k = 1) { pos_ += k; }
    bool fill(size_t need);
    void consumeLineEnd();  // at '\n' or "\r\n"
    bool atLineEnd();
    // Blanks and line ends from the read position: how many bytes, and whether the end
    // of the file follows them (false also when there are more than maxTrailingBytes).
    bool onlyBlanksAhead(size_t& n, long& lines);

    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string buf_;    // the unread block(s)
    size_t pos_ = 0;     // read position in buf_
    bool eof_ = false;   // nothing more to read from the file
    std::string field_;  // the last field read
    std::string name_;
    bool afterComma_ = false;  // the last field ended at a comma
    // What the last field was read as, and how it stood.
    enum class Kind { text, number, label };
    Kind kind_ = Kind::text;
    bool quoted_ = false;        // it was quoted
    bool blanksBefore_ = false;  // blanks stood before it
    bool startsLine_ = true;     // it was the first field of its line
    std::string numberWhat_;     // what the last number read was to hold
    // The two fields before the last one, for the hint at a decimal comma ("0,5" splits
    // into the value 0 and the label 5, and the next value meets the label's text).
    struct Earlier {
        std::string text;
        long line = 0;
        bool endedAtComma = false, quoted = false;
        Kind kind = Kind::text;
        bool blanksBefore = false, startsLine = false;
    };
    Earlier before_[2];  // [0] the field before the last, [1] the one before that
    std::string decimalCommaHint() const;
    // Pairs of a value and its label each on a line of its own so far, and the first line
    // where a pair is not (0: none yet): where the fields stopped matching their labels.
    long ownLinePairs_ = 0, strayLine_ = 0;
    std::string strayHint(long shownLine) const;  // "" unless that line lies before shownLine
    long fieldNo_ = 0;   // number of the last field read, from 1
    long line_ = 1;      // line of the read position
    long fieldLine_ = 1; // line of the last field read
};

// Opens `path` for reading when it is a regular file (links followed); otherwise throws
// StopError naming it by `shownName` with the kind of file found (a folder, a named pipe, a
// device) or the system's reason. Never waits: a named pipe is opened without waiting for
// a writer, and refused.
std::FILE* openRegularFile(const std::string& path, const std::string& shownName);

// Parses a whole field as a number (blanks after it allowed); false if it is not one.
bool parseReal(std::string_view s, float& out);
bool parseDouble(std::string_view s, double& out);

// File content or a name for a message: control bytes, byte order marks and bytes that
// are not UTF-8 written as escapes (\r, \0, \x1B, \uFEFF), cut after `maxChars`
// characters with "..." added.
std::string printable(std::string_view s, size_t maxChars = 40);

}  // namespace littoral
