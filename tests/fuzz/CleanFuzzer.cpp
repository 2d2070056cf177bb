// libFuzzer entry: runs the Word or Excel clean-up (and the option reader) on arbitrary
// bytes. Any exception other than the errors the clean-ups are meant to raise escapes and
// counts as a finding, as do crashes, hangs and sanitizer reports.
#include "tests/fuzz/CleanFuzzInput.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    RunCleanFuzzInput(CleanFuzzInput::From(bytes));
    return 0;
}
