// The validation tests' model and reference series, written for the validation report
// (scripts/validation-report.sh) when LITTORAL_VALIDATION_SERIES names a folder; without it
// nothing is written. Writing never changes what a test asserts: the measures recorded are
// the very values the assertions test, with the bounds they are tested against.
#pragma once

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace littoral::test {

// The folder named by LITTORAL_VALIDATION_SERIES, or "" when the series are not wanted.
inline std::string validationSeriesDir() {
    const char* d = std::getenv("LITTORAL_VALIDATION_SERIES");
    return d && *d ? std::string(d) : std::string();
}

// A CSV file of columns in the series folder (replaced if it exists).
class SeriesFile {
public:
    SeriesFile(const std::string& name, std::initializer_list<const char*> header) {
        const std::string dir = validationSeriesDir();
        if (dir.empty()) return;
        out_.open(dir + "/" + name + ".csv");
        bool first = true;
        for (const char* h : header) out_ << (first ? "" : ",") << h, first = false;
        out_ << "\n";
        out_.precision(9);
    }
    void row(std::initializer_list<double> v) {
        if (!out_.is_open()) return;
        bool first = true;
        for (double x : v) out_ << (first ? "" : ",") << x, first = false;
        out_ << "\n";
    }
    void row(const std::string& tag, std::initializer_list<double> v) {
        if (!out_.is_open()) return;
        out_ << tag;
        for (double x : v) out_ << "," << x;
        out_ << "\n";
    }

private:
    std::ofstream out_;
};

// One line of the report's table of measures: benchmark, what is measured, the value, the
// bound the test asserts, and the sense of the assertion ("<", ">", "<=", ">=", "~": within
// the bound of a reference value given as `reference`).
inline void recordMeasure(const std::string& benchmark, const std::string& measure, double value,
                          const std::string& sense, double bound, double reference = 0) {
    const std::string dir = validationSeriesDir();
    if (dir.empty()) return;
    std::ofstream out(dir + "/measures.csv", std::ios::app);
    out.precision(6);
    out << benchmark << ",\"" << measure << "\"," << value << "," << sense << "," << bound << "," << reference
        << "\n";
}

}  // namespace littoral::test
