// libFuzzer target: load, convert to a target chosen by the first byte
// through both engines, stream, write and read back.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string failure = quorvant::fuzz::FuzzConvert(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_convert: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
