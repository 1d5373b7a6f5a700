// The random sequence of the irregular wave heights (a fixed start state, never reseeded).
#pragma once

#include <cstdint>

namespace littoral {

// Uniform random numbers in (0, 1) from a fixed start state (64-bit linear congruential
// generator, top 53 bits); the sequence continues across cases of one program run.
class RandomSequence {
public:
    double next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        double u = static_cast<double>(state_ >> 11) * (1.0 / 9007199254740992.0);
        return u > 0.0 ? u : 0.5 / 9007199254740992.0;  // a draw of exactly 0 is avoided
    }
    // The sequence n draws further on.
    void skip(int64_t n) {
        for (int64_t k = 0; k < n; ++k) next();
    }
    bool operator==(const RandomSequence&) const = default;
    // The generator's state, and a sequence that continues from one.
    uint64_t state() const { return state_; }
    uint64_t& stateRef() { return state_; }
    static RandomSequence fromState(uint64_t s) {
        RandomSequence r;
        r.state_ = s;
        return r;
    }
private:
    uint64_t state_ = 0x853c49e6748fea9bULL;
};

}  // namespace littoral
