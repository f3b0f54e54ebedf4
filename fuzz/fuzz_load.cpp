// libFuzzer target: the chunk walk, the list check and both loads on arbitrary bytes.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string failure = quorvant::fuzz::FuzzLoad(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_load: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
