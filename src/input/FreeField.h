// Free-field text input, the syntax of every case file.
//
// A file is a sequence of fields. A field ends at a comma or at a line end (LF or CRLF);
// blanks before a field are skipped; a field in double quotes loses its quotes and may
// hold commas. A comma directly followed by a line end is one separator, and blank lines
// hold no field, so spreadsheet exports with trailing commas read alike. A UTF-8 byte
// order mark at the start is skipped. Numbers use a period as decimal separator.
//
// Every failed read throws StopError naming the file, the field number, its line, what
// was expected and what was found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace littoral {

class FieldReader {
public:
    // Reads the whole file; `shownName` is the name used in messages.
    FieldReader(const std::string& path, const std::string& shownName);
    // Reads text already in memory (tests, benchmarks).
    static FieldReader fromText(std::string text, const std::string& shownName);

    // The next field as text; `what` says what the field should hold.
    std::string text(std::string_view what);
    // The next field as a number of the stated width (integers round half to even).
    float real(std::string_view what);
    int16_t int16(std::string_view what);
    int32_t int32(std::string_view what);
    double number(std::string_view what);  // general number, double precision
    // Reads and throws away a label field.
    void label(std::string_view what) { (void)nextField(what); }
    // True when only blanks and line ends remain.
    bool atEnd();
    // Throws unless only blanks and line ends remain; `after` says what was read last.
    void expectEnd(std::string_view after);
    // Reads one field and throws unless it is exactly `terminator`.
    void expectTerminator(std::string_view terminator);

    long fieldNo() const { return fieldNo_; }
    long lineNo() const { return line_; }
    const std::string& name() const { return name_; }

    // "name: field N (line L): " for messages.
    std::string where() const;

private:
    FieldReader() = default;
    std::string_view nextField(std::string_view what);
    [[noreturn]] void fail(std::string_view what, std::string_view found) const;
    void skipBlanksAndEmptyLines();
    void skipByteOrderMark();

    std::string buf_;
    std::string name_;
    size_t pos_ = 0;
    long fieldNo_ = 0;   // number of the last field read, from 1
    long line_ = 1;      // line of the last field read (or of the read position)
    long fieldLine_ = 1;
};

// Parses a whole trimmed field as a number; false if it is not one.
bool parseReal(std::string_view s, float& out);
bool parseDouble(std::string_view s, double& out);

}  // namespace littoral
