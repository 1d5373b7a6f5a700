#include "Targets.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/Error.h"
#include "core/Model.h"
#include "input/CaseInput.h"
#include "input/FreeField.h"
#include "waves/WaveField.h"

namespace littoral::fuzz {

namespace fs = std::filesystem;

namespace {

// A small case (10 x 8 interior cells, flat bed of 5 m, waves entering from the east
// ghost column, periodic south and north rows) in a folder of this process.
const char* const coefText =
    "1,ixs\n10,ixe\n10,dx\n1,jys\n8,jye\n10,dy\n20,nbnd\n35,lat\n0.01,fric\n0.8,brk\n0.01,mind\n0,spare\n"
    "0,ts\n30,te\n0.05,shields\n0.0002,d\n2650,rho\n0.000001,nu\n8,qb\n1,qs\n'endconst\n";
const char* const waveText = "17,input\n0.5,H\n6,T\n180,dir\n10,px\n1,py\n0,groups\n0,amp\n";
const char* const tideText = "0,tide\n1\n17,0,0,0\n";

std::string gridText(bool boundary) {
    std::string t;
    for (int i = 0; i <= 11; ++i) {
        for (int j = 0; j <= 9; ++j) {
            const bool ghostI = i == 0 || i == 11, ghostJ = j == 0 || j == 9;
            int code = 0;
            if (!(ghostI && ghostJ)) code = i == 11 ? 17 : (ghostJ ? 16 : 0);
            t += (j ? "," : "") + (boundary ? std::to_string(code) : std::string("5"));
        }
        t += "\n";
    }
    return t;
}

void writeFile(const fs::path& p, const uint8_t* data, size_t size) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void writeFile(const fs::path& p, const std::string& text) {
    writeFile(p, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

struct Case {
    fs::path root, data, output;
    Model m;

    Case() {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        root = base / ("littoral-fuzz-" + std::to_string(::getpid()));
        data = root / "data";
        output = root / "output";
        fs::create_directories(data / "c");
        fs::create_directories(output);
        writeFile(data / "c" / "coef.txt", coefText);
        writeFile(data / "c" / "wave.txt", waveText);
        writeFile(data / "c" / "tide.txt", tideText);
        writeFile(data / "c" / "depth.txt", gridText(false));
        writeFile(data / "c" / "boundary.txt", gridText(true));
        writeFile(data / "ccnt.txt", "c\\coef.txt\nc\\depth.txt\nc\\boundary.txt\nc\\wave.txt\nc\\tide.txt\nc\n'endcnt\n");
        reset();
        // The whole small case once, so that every later reader finds its grids.
        readControlFile(m);
        readDepthFile(m);
        readBoundaryFile(m);
    }
    ~Case() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void reset() {
        m.cntPath = (data / "ccnt.txt").string();
        m.dataDir = data.string() + "/";
        m.outBase = output.string() + "/";
    }
    // Writes the input under the name `name` (relative to the data folder) and returns
    // the model with that name in place of the reader's file.
    Model& with(std::string& field, const uint8_t* d, size_t size) {
        writeFile(data / "fuzzed.txt", d, size);
        field = "fuzzed.txt";
        return m;
    }
};

Case& theCase() {
    static Case c;
    return c;
}

template <class F>
int run(F&& f) {
    try {
        f();
    } catch (const StopError&) {
        // A clear stop is the sound answer to a bad file.
    }
    return 0;
}

}  // namespace

int controlFile(const uint8_t* data, size_t size) {
    Case& c = theCase();
    writeFile(c.data / "fuzzedcnt.txt", data, size);
    Model m;
    m.cntPath = (c.data / "fuzzedcnt.txt").string();
    m.dataDir = c.data.string() + "/";
    m.outBase = c.output.string() + "/";
    run([&] {
        readControlFile(m);
        readDepthFile(m);
        readBoundaryFile(m);
    });
    // Output folders the names made stay inside the output folder; clear them.
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(c.output, ec)) fs::remove_all(e.path(), ec);
    return 0;
}

int coefFile(const uint8_t* data, size_t size) {
    Case& c = theCase();
    Model m;
    c.with(m.coefFile, data, size);
    m.dataDir = c.data.string() + "/";
    m.cntPath = c.m.cntPath;
    return run([&] { readCoefFile(m); });
}

namespace {
// Reads the input as the small case's file `field` with `reader`, then names the case's
// own file again.
int asCaseFile(std::string Model::*field, void (*reader)(Model&), const uint8_t* data, size_t size) {
    Case& c = theCase();
    const std::string keep = c.m.*field;
    run([&] { reader(c.with(c.m.*field, data, size)); });
    c.m.*field = keep;
    return 0;
}
}  // namespace

int waveFile(const uint8_t* data, size_t size) { return asCaseFile(&Model::wavFile, readWaveFile, data, size); }
int tideFile(const uint8_t* data, size_t size) { return asCaseFile(&Model::tideFile, readTideFile, data, size); }
int depthFile(const uint8_t* data, size_t size) { return asCaseFile(&Model::depFile, readDepthFile, data, size); }
int boundaryFile(const uint8_t* data, size_t size) {
    return asCaseFile(&Model::bndFile, readBoundaryFile, data, size);
}

// The free-field reader itself: the input's first byte seeds the choice of how each field is read
// (text, label, single, 16-bit, 32-bit, general number, terminator), the rest is the file.
int freeField(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t modes = data[0];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    (void)printable(text);
    run([&] {
        auto r = FieldReader::fromText(std::move(text), "fuzzed.txt");
        uint32_t pick = modes;
        for (int k = 0; !r.atEnd() && k < 100000; ++k) {
            pick = pick * 1103515245u + 12345u;
            switch ((pick >> 16) & 7) {
                case 0: (void)r.text("a field"); break;
                case 1: r.label("a label"); break;
                case 2: (void)r.real("a single"); break;
                case 3: (void)r.int16("a 16-bit integer"); break;
                case 4: (void)r.int32("a 32-bit integer"); break;
                case 5: (void)r.number("a number"); break;
                case 6: r.expectTerminator("'endcnt"); break;
                default: r.expectEnd("the fields"); break;
            }
        }
        r.expectEnd("the fields");
    });
    return 0;
}

Target targetNamed(std::string_view name) {
    if (name == "control") return controlFile;
    if (name == "coef") return coefFile;
    if (name == "wave") return waveFile;
    if (name == "tide") return tideFile;
    if (name == "depth") return depthFile;
    if (name == "boundary") return boundaryFile;
    if (name == "freefield") return freeField;
    return nullptr;
}

}  // namespace littoral::fuzz
