// run-case <control file>: reads a case and runs it interval by interval through the
// engine's public API, printing each interval's number, its model time and the largest
// wave height of the interval. Exit status 2 for a case that cannot be read, 1 for a run
// that fails.
#include <littoral/littoral.h>

#include <algorithm>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <control file>\n", argv[0]);
        return 2;
    }
    try {
        const littoral::Case c = littoral::readCase(argv[1]);
        std::printf("case %s: %d x %d cells, %ld intervals\n", c.controlFile().c_str(), c.nx(), c.ny(),
                    c.intervals());
        littoral::Run run(c);
        while (run.advance()) {
            const littoral::Field h = run.field("wavH");
            float largest = 0;
            for (int j = 0; j < h.ny(); ++j)
                for (int i = 0; i < h.nx(); ++i) largest = std::max(largest, h(i, j));
            std::printf("interval %d: %g s, largest wave height %.3f m\n", run.interval().number,
                        run.interval().time, largest);
        }
        std::printf("files in %s\n", c.outputFolder().c_str());
    } catch (const littoral::InputError& e) {
        // The message names the file, the field and the line itself ("beach\coef.txt:
        // field 27 (line 14): expected the end time (s), found ..."); e.file(), e.field()
        // and e.line() give them one by one.
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "run failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
