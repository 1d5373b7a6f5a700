// The libFuzzer entry of one reader; LITTORAL_FUZZ_TARGET names its function in Targets.h.
#include "Targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return littoral::fuzz::LITTORAL_FUZZ_TARGET(data, size);
}
