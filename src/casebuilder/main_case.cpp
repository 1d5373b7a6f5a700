// littoral-case: builds a runnable case from a survey and a short description.
//
//   littoral-case bay.toml          writes data/baycnt.txt, data/bay/, data/bay.toml
#include <cstdio>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "littoral/casebuilder.h"

#ifndef LITTORAL_COMMIT
#define LITTORAL_COMMIT "unknown commit"
#endif

int main(int argc, char** argv) {
    CLI::App app{"littoral-case: builds a Littoral case (control, coefficient, depth, boundary, wave and tide files, "
                 "the options file with the georeference, a report and a map) from survey files and a description in "
                 "TOML; see docs/case-builder.md for every key of the description",
                 "littoral-case"};
    std::string description;
    bool quiet = false;
    app.add_option("description", description, "the case description (TOML), e.g. bay.toml")->required();
    app.add_flag("-q,--quiet", quiet, "print only the control file written and the warnings, not the whole report");
    app.set_version_flag("--version", std::string("littoral-case ") + littoral::version() + " (" + LITTORAL_COMMIT + ")",
                         "print the version and the build's commit, then end");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    try {
        const littoral::BuiltCase b = littoral::buildCase(description);
        if (quiet) {
            for (const std::string& w : b.warnings) std::cerr << "warning: " << w << "\n";
        } else {
            std::cout << b.report;
        }
        std::cout << "wrote " << b.controlFile << " (report " << b.reportFile
                  << (b.mapFile.empty() ? std::string() : ", map " + b.mapFile) << ")\n";
        return 0;
    } catch (const littoral::InputError& e) {
        std::cerr << "littoral-case: " << e.what() << "\nnothing was written\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "littoral-case: " << e.what() << "\nnothing was written\n";
        return 1;
    }
}
