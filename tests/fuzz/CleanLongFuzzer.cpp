// libFuzzer entry for long inputs: each input is a recipe of repeated pieces (see
// LongCleanFuzzInput), expanded to up to a few megabytes before the clean-up runs, so
// that time-outs find steps that are slower than linear.
#include "tests/fuzz/CleanFuzzInput.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    RunCleanFuzzInput(LongCleanFuzzInput(bytes));
    return 0;
}
